#pragma once
// The common ancestor of the handle components, and the list in which a parent records the
// children that hold an ODBC handle.

#include "rtl/Component.h"

#include "odbc/OCLSql.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace ocl {

// An integer attribute value as the attribute functions take it.
inline SQLPOINTER IntegerAttribute(SQLULEN Value) {
  return reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(Value));
}

// A text buffer the driver filled: up to its first NUL, or Size bytes when it holds none.
inline std::string BufferText(const void* Buffer, std::size_t Size) {
  const char* text = static_cast<const char*>(Buffer);
  return std::string(text, strnlen(text, Size));
}

class TODBCError;

class THbase : public rtl::TComponent {
 public:
  explicit THbase(rtl::TComponent* AOwner);

  // Fires before any handle of the component is released. The library never assigns it.
  rtl::TNotifyEvent OnFreeHandle;

  // Releases the handles of the component's children (and, in descendants, its own); true
  // when the component holds no ODBC handle afterwards. Overrides call this body first.
  virtual bool FreeHandle();
  // Lets go of every handle of the component and its children without raising, whatever the
  // driver refuses; for destruction, where FreeHandle's failures cannot be reported.
  virtual void ForceRelease() noexcept {}

  // The kind of handle the component holds (SQL_HANDLE_ENV, _DBC or _STMT), and the handle as
  // held at this moment; reading it never allocates one.
  virtual SQLSMALLINT HandleType() const = 0;
  virtual SQLHANDLE CurrentHandle() const { return handle_; }
  // The component holds a live handle of its own.
  bool Allocated() const { return handle_ != SQL_NULL_HANDLE; }

  // Return code of the last ODBC call made for the component.
  SQLRETURN LastRet = SQL_SUCCESS;

  // Told of a call of the component that failed (SQL_ERROR), once its diagnostics are read and
  // before the failure is raised; a connection learns from it that its link is lost.
  virtual void AfterFailure(const std::string& SqlState) noexcept { (void)SqlState; }

 protected:
  // Stores the return code in LastRet and raises EODBC through the library environment's
  // error object when it does not count as success. Returns true otherwise.
  bool Check(SQLRETURN Ret);
  // Stores the return code; true when it counts as success. Never raises.
  bool Test(SQLRETURN Ret);
  // The diagnostic object the checks go through: the library environment's.
  virtual TODBCError& ErrorObject();

  // Allocates the component's own handle under Parent, with the usual check. A handle that
  // came with a warning counted as failure is freed again: a raise never leaves one behind.
  void AllocateOwnHandle(SQLHANDLE Parent);
  // Frees the component's own handle and forgets it whenever the driver manager let it go
  // (also with a warning), then applies the usual check.
  void FreeOwnHandle();
  // Frees the component's own handle without a check; for destruction.
  void DropOwnHandle() noexcept;

 private:
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// The children of a parent component that currently hold an ODBC handle, newest first. The
// list owns its nodes, not the children.
class TChildren {
 public:
  TChildren() = default;
  ~TChildren();
  TChildren(const TChildren&) = delete;
  TChildren& operator=(const TChildren&) = delete;

  void Add(THbase* Child);
  // Unlinks the first node (from the front) that holds the child, if any.
  void Remove(THbase* Child);
  void Clear();
  // Makes every child release its handle, newest first; each child's FreeHandle takes itself
  // off the list. A child that fails stays listed and does not stop the others: the first
  // failure is raised once all were tried.
  bool FreeAll();
  // Empties the list and makes every child that was listed force its release (see
  // THbase::ForceRelease). Raises nothing.
  void ForceAll() noexcept;

  bool Empty() const { return head_ == nullptr; }
  // The listed children from the front.
  std::vector<THbase*> Items() const;

 private:
  struct TNode {
    THbase* Child;
    TNode* Next;
    // Tells a node apart from a later one at the same address while FreeAll runs.
    unsigned long long Serial;
    bool Tried;
  };
  // Unlinks the node of that serial number, if it is still listed.
  void Unlink(unsigned long long Serial);
  TNode* head_ = nullptr;
  unsigned long long serial_ = 0;
};

}  // namespace ocl
