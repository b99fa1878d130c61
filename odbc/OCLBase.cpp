#include "odbc/OCLBase.h"

#include "odbc/OCLEnvironment.h"
#include "odbc/OCLErrors.h"

namespace ocl {

THbase::THbase(rtl::TComponent* AOwner) : rtl::TComponent(AOwner) {}

bool THbase::FreeHandle() {
  if (OnFreeHandle) OnFreeHandle(this);
  return true;
}

TODBCError& THbase::ErrorObject() { return LibraryEnvironment().Error(); }

bool THbase::Test(SQLRETURN Ret) {
  LastRet = Ret;
  return ErrorObject().Succeeded(Ret);
}

bool THbase::Check(SQLRETURN Ret) {
  TODBCError& error = ErrorObject();
  LastRet = Ret;
  if (!error.Succeeded(Ret)) error.RaiseError(this, Ret);
  return true;
}

TChildren::~TChildren() { Clear(); }

void TChildren::Add(THbase* Child) { head_ = new TNode{Child, head_}; }

void TChildren::Remove(THbase* Child) {
  for (TNode** link = &head_; *link; link = &(*link)->Next) {
    if ((*link)->Child == Child) {
      TNode* node = *link;
      *link = node->Next;
      delete node;
      return;
    }
  }
}

void TChildren::Clear() {
  while (head_) {
    TNode* node = head_;
    head_ = node->Next;
    delete node;
  }
}

bool TChildren::FreeAll() {
  while (head_) {
    TNode* front = head_;
    head_->Child->FreeHandle();
    // A child whose FreeHandle left itself listed would make this loop endless: take its node
    // off here instead.
    if (head_ == front) {
      head_ = front->Next;
      delete front;
    }
  }
  return true;
}

std::vector<THbase*> TChildren::Items() const {
  std::vector<THbase*> items;
  for (TNode* node = head_; node; node = node->Next) items.push_back(node->Child);
  return items;
}

}  // namespace ocl
