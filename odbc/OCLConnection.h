#pragma once
// The connection component: connection settings as published properties, SQLConnect or
// SQLDriverConnect, information queries, and the connect and disconnect events.

#include "odbc/OCLBase.h"

#include <memory>
#include <string>
#include <vector>

namespace ocl {

class THdbc : public THbase {
 public:
  explicit THdbc(rtl::TComponent* AOwner);
  ~THdbc() override;

  const rtl::TPropertyList& Published() const override;

  bool AllocHandle();
  // The connection handle, allocated on first need.
  SQLHDBC Handle();
  TChildren& Children() { return children_; }

  void Connect();
  void Disconnect();
  bool FreeHandle() override;
  // Closes the connection and frees its handle, raising nothing. An open transaction is given
  // up only when the driver refuses to close because of it.
  void ForceRelease() noexcept override;
  void Loaded() override;

  std::string BuildConnectString() const;
  bool FunctionSupported(SQLUSMALLINT FunctionId);
  // At most 255 characters, cut at the first NUL; empty when the driver cannot answer.
  std::string GetInfoString(SQLUSMALLINT InfoType);
  // 0 when the driver cannot answer.
  SQLUINTEGER GetInfoInteger(SQLUSMALLINT InfoType);

  // The connected driver has no SQLDescribeParam.
  bool NoDescribeParam() const { return noDescribeParam_; }

  // Told of a failed call on the connection or one of its statements: reads whether the
  // driver finds the link lost (the server or the line gone).
  void AfterFailure(const std::string& SqlState) noexcept override;

  // Published properties. A connection whose link is lost reads as closed; Connect opens it
  // again, and Disconnect lets go of it.
  bool Connected() const { return connected_ && !linkLost_; }
  void SetConnected(bool Value);
  const std::string& Driver() const { return driver_; }
  void SetDriver(const std::string& Value);
  const std::string& DataSource() const { return dataSource_; }
  void SetDataSource(const std::string& Value);
  const std::string& UserName() const { return userName_; }
  void SetUserName(const std::string& Value);
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& Value);
  const std::vector<std::string>& Attributes() const { return attributes_; }
  void SetAttributes(const std::vector<std::string>& Value);
  SQLUINTEGER IsolationLevel() const { return isolationLevel_; }
  void SetIsolationLevel(SQLUINTEGER Value);
  SQLUSMALLINT InfoPrompt() const { return infoPrompt_; }
  void SetInfoPrompt(SQLUSMALLINT Value) { infoPrompt_ = Value; }
  SQLUINTEGER CursorLib() const { return cursorLib_; }
  void SetCursorLib(SQLUINTEGER Value);
  // Goes to the library environment: a change re-creates it and closes every connection.
  bool ConnectionPooling() const;
  void SetConnectionPooling(bool Value);

  // Transactions. With AutoCommit off, changes wait for Commit or Rollback; a value set before
  // the connect is applied when it opens. Nothing else in the library ends a transaction.
  bool AutoCommit() const { return autoCommit_; }
  void SetAutoCommit(bool Value);
  void Commit();
  void Rollback();

  rtl::TNotifyEvent OnConnect;
  rtl::TNotifyEvent OnDisconnect;

  SQLSMALLINT HandleType() const override { return SQL_HANDLE_DBC; }

  // Holds this connection for as long as its object lasts, its own teardown included, and none
  // afterwards; what statements link through (TConnectionLink).
  std::shared_ptr<THdbc* const> Presence() const { return presence_; }

 protected:
  virtual void DoConnect();
  virtual void DoDisconnect();

 private:
  // In design mode an open connection closes before a setting changes.
  void DisconnectForDesign();
  void DropLostLink();
  void ApplyCursorLib();
  void ApplyIsolationLevel();
  void ApplyAutoCommit();
  void EndTransaction(SQLSMALLINT Completion);
  void ApplyAttribute(SQLINTEGER Attribute, SQLUINTEGER Value);

  TChildren children_;
  bool connected_ = false;
  // Open, but the driver found the link lost.
  bool linkLost_ = false;
  bool streamedConnected_ = false;
  std::string driver_, dataSource_, userName_, password_;
  std::vector<std::string> attributes_;
  SQLUINTEGER isolationLevel_ = SQL_TXN_READ_COMMITTED;
  SQLUSMALLINT infoPrompt_ = SQL_DRIVER_NOPROMPT;
  SQLUINTEGER cursorLib_ = SQL_CUR_USE_DRIVER;
  bool noDescribeParam_ = false;
  bool autoCommit_ = true;
  std::shared_ptr<THdbc*> presence_ = std::make_shared<THdbc*>(this);
};

// A statement's link to its connection, not owned. The connection reads as none from its
// teardown on, so that nothing starts on it then; the statements it destroys in that teardown
// still find it, to leave its list of children.
class TConnectionLink {
 public:
  TConnectionLink() = default;
  TConnectionLink(THdbc* Connection) : presence_(Connection ? Connection->Presence() : nullptr) {}
  // The connection, or none once it is being destroyed.
  THdbc* Get() const {
    THdbc* connection = Present();
    return connection && !connection->InState(rtl::csDestroying) ? connection : nullptr;
  }
  // The connection while its object lasts, its teardown included.
  THdbc* Present() const { return presence_ ? *presence_ : nullptr; }

 private:
  std::shared_ptr<THdbc* const> presence_;
};

}  // namespace ocl
