#include "odbc/OCLBase.h"

#include "odbc/OCLEnvironment.h"
#include "odbc/OCLErrors.h"

#include <exception>

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
  LastRet = Ret;
  // What nearly every call answers, once a row of long data: no error object to look up.
  if (Ret == SQL_SUCCESS) return true;
  TODBCError& error = ErrorObject();
  if (!error.Succeeded(Ret)) error.RaiseError(this, Ret);
  return true;
}

void THbase::AllocateOwnHandle(SQLHANDLE Parent) {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  SQLRETURN ret = SQLAllocHandle(HandleType(), Parent, &handle);
  // Held first, so that a failure reads its diagnostic from the new handle.
  handle_ = handle;
  try {
    Check(ret);
  } catch (...) {
    if (SQL_SUCCEEDED(ret)) SQLFreeHandle(HandleType(), handle);
    handle_ = SQL_NULL_HANDLE;
    throw;
  }
}

void THbase::FreeOwnHandle() {
  SQLRETURN ret = SQLFreeHandle(HandleType(), handle_);
  if (SQL_SUCCEEDED(ret)) handle_ = SQL_NULL_HANDLE;
  Check(ret);
}

void THbase::DropOwnHandle() noexcept {
  if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(HandleType(), handle_);
  handle_ = SQL_NULL_HANDLE;
}

TChildren::~TChildren() { Clear(); }

void TChildren::Add(THbase* Child) { head_ = new TNode{Child, head_, ++serial_, false}; }

namespace {

// Unlinks and deletes the first node, from the front, that matches.
template <class Node, class Matches>
void UnlinkFirst(Node*& head, Matches matches) {
  for (Node** link = &head; *link; link = &(*link)->Next) {
    if (matches(**link)) {
      Node* node = *link;
      *link = node->Next;
      delete node;
      return;
    }
  }
}

}  // namespace

void TChildren::Remove(THbase* Child) {
  UnlinkFirst(head_, [Child](const TNode& node) { return node.Child == Child; });
}

void TChildren::Clear() {
  while (head_) {
    TNode* node = head_;
    head_ = node->Next;
    delete node;
  }
}

void TChildren::Unlink(unsigned long long Serial) {
  UnlinkFirst(head_, [Serial](const TNode& node) { return node.Serial == Serial; });
}

bool TChildren::FreeAll() {
  // A child's FreeHandle may change the list (it takes itself off, and may take or add
  // others), so every round starts again from the front with the first node not yet tried.
  std::exception_ptr first;
  for (;;) {
    TNode* node = head_;
    while (node && node->Tried) node = node->Next;
    if (!node) break;
    node->Tried = true;
    unsigned long long serial = node->Serial;
    try {
      node->Child->FreeHandle();
    } catch (...) {
      if (!first) first = std::current_exception();
      continue;
    }
    // A child whose FreeHandle left itself listed would stay listed for ever: take its node
    // off here instead.
    Unlink(serial);
  }
  // Failed children stay listed; a later call tries them again.
  for (TNode* node = head_; node; node = node->Next) node->Tried = false;
  if (first) std::rethrow_exception(first);
  return true;
}

void TChildren::ForceAll() noexcept {
  std::vector<THbase*> children = Items();
  Clear();
  for (std::size_t i = 0; i < children.size(); ++i) {
    // A child listed twice is released once.
    bool seen = false;
    for (std::size_t j = 0; j < i; ++j) seen = seen || children[j] == children[i];
    if (!seen) children[i]->ForceRelease();
  }
}

std::vector<THbase*> TChildren::Items() const {
  std::vector<THbase*> items;
  for (TNode* node = head_; node; node = node->Next) items.push_back(node->Child);
  return items;
}

}  // namespace ocl
