// Statements on the scripted driver, for what real drivers do not do on demand: polled
// executions, cancels, refused attributes, data asked for at execution.

#include "tests/odbc/OdbcTestSupport.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace ocl;
using ocl_test::Raised;

namespace {

class StatementScriptedTest : public ocl_test::ScriptedDriverTest {
 protected:
  void TearDown() override {
    owner_.reset();
    ScriptedDriverTest::TearDown();
  }

  // A statement named Scripted under a connection of its own to the scripted driver.
  THstmt* Statement(std::vector<std::string> script, SQLUINTEGER cursorLib = SQL_CUR_USE_DRIVER) {
    auto* group = rtl::TComponent::Create<rtl::TComponent>(owner_.get());
    auto* db = rtl::TComponent::Create<THdbc>(group);
    db->SetDriver(SCRIPTED_DRIVER_PATH);
    db->SetAttributes(script);
    db->SetCursorLib(cursorLib);
    auto* stmt = rtl::TComponent::Create<THstmt>(group);
    stmt->SetName("Scripted");
    stmt->SetSQL("INSERT INTO t VALUES (:a, :b)");
    return stmt;
  }

  // The application's events between two polls.
  void Pump(std::function<void()> events) {
    TOCLUserInterface hooks;
    hooks.ProcessMessages = std::move(events);
    SetUserInterface(std::move(hooks));
  }

  int Sets(SQLINTEGER attribute) {
    return Exported<int(SQLINTEGER)>("ScriptedDriver_StmtAttrSets")(attribute);
  }
  std::string Pieces() { return Exported<const char*()>("ScriptedDriver_Pieces")(); }
  int Executions() { return Exported<int()>("ScriptedDriver_Executions")(); }
  int Cancels() { return Exported<int()>("ScriptedDriver_Cancels")(); }

  std::unique_ptr<rtl::TComponent> owner_ = std::make_unique<rtl::TComponent>(nullptr);
};

TEST_F(StatementScriptedTest, AnAttributeWriteChangesOnlyWhatDiffers) {
  THstmt* stmt = Statement({"Info146=1", "Info167=9"});
  stmt->AllocHandle();
  // The statement's defaults are the driver's: nothing was set.
  EXPECT_EQ(Sets(SQL_ATTR_CONCURRENCY) + Sets(SQL_ATTR_CURSOR_TYPE) + Sets(SQL_ATTR_ROW_ARRAY_SIZE),
            0);
  EXPECT_EQ(stmt->CursorAttributes(), 1u);

  // The value it has: the bindings stay.
  SQLINTEGER value = 5;
  stmt->BindParameter(1, SQL_C_SLONG, &value, SQL_INTEGER, 0, 0, 0);
  stmt->SetConcurrencyType(SQL_CONCUR_READ_ONLY);
  stmt->SetRowSetSize(1);
  EXPECT_EQ(Sets(SQL_ATTR_CONCURRENCY) + Sets(SQL_ATTR_ROW_ARRAY_SIZE), 0);
  EXPECT_EQ(stmt->Params().size(), 1u);
  EXPECT_EQ(stmt->ParamSetSize(), 1u);

  // A new value closes the statement first.
  stmt->SetCursorType(SQL_CURSOR_STATIC);
  EXPECT_EQ(Sets(SQL_ATTR_CURSOR_TYPE), 1);
  EXPECT_EQ(stmt->CursorAttributes(), 9u);
  EXPECT_TRUE(stmt->Params().empty());
  EXPECT_EQ(stmt->ParamSetSize(), 0u);
  // No cursor type of ODBC: the driver manager refuses it, and the statement keeps the type
  // the driver has.
  EXPECT_EQ(Raised<EODBC>([&] { stmt->SetCursorType(7); }).SqlState, "HY024");
  EXPECT_EQ(stmt->CursorType(), SQL_CURSOR_STATIC);
  EXPECT_EQ(stmt->CursorAttributes(), 9u);
}

TEST_F(StatementScriptedTest, AnAttributeRefusedAtTheFirstUseLeavesNoHalfSetUpHandle) {
  THstmt* stmt = Statement({"Refuse=6", "Info146=1", "Columns=Id:4,Body:12", "Rows=1,x"});
  stmt->SetSQL("SELECT Id, Body FROM t");
  stmt->AddColType(2, SQL_LONGVARCHAR);
  stmt->SetRowSetSize(3);
  stmt->SetCursorType(SQL_CURSOR_STATIC);
  EXPECT_EQ(Raised<EODBC>([&] { stmt->Execute(); }).SqlState, "HYC00");
  EXPECT_FALSE(stmt->Allocated());
  EXPECT_TRUE(stmt->hDbc()->Children().Empty());

  // The next use sets a new handle up whole, with the column types named before.
  stmt->SetCursorType(SQL_CURSOR_FORWARD_ONLY);
  stmt->Execute();
  EXPECT_EQ(Sets(SQL_ATTR_ROW_ARRAY_SIZE), 1);
  EXPECT_EQ(stmt->CursorAttributes(), 1u);
  ASSERT_EQ(stmt->ColCount(), 2);
  EXPECT_EQ(stmt->Columns()[1]->SqlType, SQL_LONGVARCHAR);
}

TEST_F(StatementScriptedTest, LongDataIsReadOnlyForTheRowsThatHaveIt) {
  // Row 2 is deleted: the driver refuses to read its values.
  THstmt* stmt = Statement({"Columns=Id:4,Body:-1", "Rows=1,a/2,bb/3,ccc", "Deleted=2",
                            "Info" + std::to_string(SQL_GETDATA_EXTENSIONS) + "=15"});
  stmt->SetRowSetSize(4);
  stmt->SetSQL("SELECT Id, Body FROM t");
  stmt->Execute();
  ASSERT_TRUE(stmt->Fetch());
  EXPECT_EQ(stmt->RowStatus(2), SQL_ROW_DELETED);
  EXPECT_EQ(stmt->Cell(2, 1).AsString(), "a");
  EXPECT_EQ(stmt->Cell(2, 3).AsString(), "ccc");
}

TEST_F(StatementScriptedTest, ARowsetSizeWriteThatFailsLeavesTheSizeTheDriverFills) {
  // A cursor that does not close: the rowset keeps its size and its buffers.
  const std::vector<std::string> rows = {"Columns=Id:4", "Rows=1/2/3/4"};
  std::vector<std::string> script = rows;
  script.push_back("Close=fail");
  THstmt* stmt = Statement(script);
  stmt->SetSQL("SELECT Id FROM t");
  stmt->Execute();
  ASSERT_TRUE(stmt->Fetch());
  EXPECT_EQ(Raised<EODBC>([&] { stmt->SetRowSetSize(3); }).Message(),
            "[Scripted]the cursor does not close");
  EXPECT_EQ(stmt->RowSetSize(), 1u);
  EXPECT_EQ(stmt->RowStatus(3), SQL_ROW_NOROW);
  ASSERT_TRUE(stmt->Fetch());
  EXPECT_EQ(stmt->Cell(1, 1).AsInteger(), 2);

  // A size the driver refuses: the statement keeps the driver's.
  script = rows;
  script.push_back("Refuse=27");
  THstmt* refused = Statement(script);
  refused->SetSQL("SELECT Id FROM t");
  refused->AllocHandle();
  EXPECT_EQ(Raised<EODBC>([&] { refused->SetRowSetSize(3); }).SqlState, "HYC00");
  EXPECT_EQ(refused->RowSetSize(), 1u);
  refused->Execute();
  ASSERT_TRUE(refused->Fetch());
  EXPECT_EQ(refused->RowsFetched(), 1u);

  // A size the driver lowers, with a warning that may count as failure: the driver's.
  script = rows;
  script.push_back("Cap27=2");
  for (bool infoIsError : {false, true}) {
    THstmt* capped = Statement(script);
    capped->SetSQL("SELECT Id FROM t");
    capped->AllocHandle();
    Environment()->Error().InfoIsError = infoIsError;
    if (infoIsError)
      EXPECT_EQ(Raised<EODBC>([&] { capped->SetRowSetSize(3); }).SqlState, "01S02");
    else
      capped->SetRowSetSize(3);
    Environment()->Error().InfoIsError = false;
    EXPECT_EQ(capped->RowSetSize(), 2u) << infoIsError;
    capped->Execute();
    ASSERT_TRUE(capped->Fetch());
    EXPECT_EQ(capped->RowsFetched(), 2u);
    EXPECT_EQ(capped->Cell(1, 2).AsInteger(), 2);
  }
}

TEST_F(StatementScriptedTest, ExecuteRaisesARefusalOnlyWhereItMatters) {
  // The parameter-set size: a refusal matters only for arrays.
  THstmt* stmt = Statement({"Refuse=22"});
  stmt->Prepare();
  EXPECT_NO_THROW(stmt->Execute());
  SQLINTEGER values[2] = {1, 2};
  stmt->BindParameter(1, SQL_C_SLONG, values, SQL_INTEGER, 0, 0, 0);
  stmt->BindParameter(2, SQL_C_SLONG, values, SQL_INTEGER, 0, 0, 0);
  EXPECT_NO_THROW(stmt->Execute());
  stmt->Prepare();
  stmt->BindParameter(1, SQL_C_SLONG, values, SQL_INTEGER, 0, 0, 2);
  stmt->BindParameter(2, SQL_C_SLONG, values, SQL_INTEGER, 0, 0, 2);
  int executions = Executions();
  EXPECT_EQ(Raised<EODBC>([&] { stmt->Execute(); }).SqlState, "HYC00");
  EXPECT_EQ(Executions(), executions);
  EXPECT_FALSE(stmt->Executed());

  // A cursor that does not close before a prepared execution: raised only under the driver's
  // own cursors.
  THstmt* closing = Statement({"Close=fail"});
  closing->Prepare();
  EXPECT_EQ(Raised<EODBC>([&] { closing->Execute(); }).Message(),
            "[Scripted]the cursor does not close");
  EXPECT_EQ(Executions(), executions);
  THstmt* library = Statement({"Close=fail"}, SQL_CUR_USE_IF_NEEDED);
  library->Prepare();
  EXPECT_NO_THROW(library->Execute());
  EXPECT_EQ(Executions(), executions + 1);
}

TEST_F(StatementScriptedTest, AnAsynchronousExecutionPollsWithTheEventsInBetween) {
  THstmt* stmt = Statement({"Still=3"});
  stmt->SetExecAsync(true);
  int pumps = 0, executed = 0;
  stmt->OnExecute = [&](rtl::TComponent*) { ++executed; };
  Pump([&] { ++pumps; });
  stmt->Execute();
  EXPECT_EQ(Executions(), 4);
  EXPECT_EQ(pumps, 3);
  EXPECT_EQ(executed, 1);
  EXPECT_TRUE(stmt->Executed());
  EXPECT_EQ(Sets(SQL_ATTR_ASYNC_ENABLE), 2);  // on, and off again

  stmt->Cancel();  // nothing runs
  EXPECT_EQ(Cancels(), 0);

  // Cancelled by a handler: the driver is told, and Execute ends silently.
  Pump([&] { stmt->Cancel(); });
  EXPECT_THROW(stmt->Execute(), rtl::EAbort);
  EXPECT_EQ(Cancels(), 1);
  EXPECT_EQ(Executions(), 6);  // the first poll, and the one that saw the cancel
  EXPECT_TRUE(stmt->Executed());
  EXPECT_EQ(executed, 1);

  // A handler that raises: the execution is cancelled, the exception goes on, and the
  // statement executes again.
  Pump([] { throw rtl::Exception("from a handler"); });
  EXPECT_EQ(Raised<rtl::Exception>([&] { stmt->Execute(); }).Message(), "from a handler");
  EXPECT_EQ(Cancels(), 2);
  EXPECT_EQ(Executions(), 8);  // the first poll, and the one that gave the execution up
  EXPECT_EQ(Sets(SQL_ATTR_ASYNC_ENABLE), 6);
  Pump([] {});
  EXPECT_NO_THROW(stmt->Execute());
  EXPECT_EQ(executed, 2);

  // A driver that cannot execute asynchronously refuses before anything runs.
  THstmt* refusing = Statement({"Refuse=4"});
  refusing->SetExecAsync(true);
  EXPECT_EQ(Raised<EODBC>([&] { refusing->Execute(); }).SqlState, "HYC00");
  EXPECT_EQ(Executions(), 12);
  EXPECT_FALSE(refusing->Executed());
}

TEST_F(StatementScriptedTest, AHandlerCannotReenterAPollingStatement) {
  THstmt* stmt = Statement({"Still=2"});
  stmt->SetExecAsync(true);
  SQLINTEGER value = 1;
  std::vector<std::function<void()>> operations = {
      [&] { stmt->Execute(); },
      [&] { stmt->Prepare(); },
      [&] { stmt->Close(); },
      [&] { stmt->BindParameter(1, SQL_C_SLONG, &value, SQL_INTEGER, 0, 0, 0); },
      [&] { stmt->BindParam(1, SQL_C_SLONG, &value); },
      [&] { stmt->SetSQL("DELETE FROM t"); },
      [&] { stmt->SetCursorType(SQL_CURSOR_STATIC); },
      [&] { stmt->SetRowSetSize(3); },
      [&] { stmt->SethDbc(nullptr); },
  };
  std::vector<std::string> refusals;
  Pump([&] {
    for (auto& operation : operations) {
      try {
        operation();
        refusals.push_back("allowed");
      } catch (const rtl::Exception& e) {
        refusals.push_back(e.Message());
      }
    }
  });
  stmt->Execute();
  EXPECT_EQ(refusals, std::vector<std::string>(2 * operations.size(),
                                               "Statement Scripted is still executing."));
  EXPECT_TRUE(stmt->Executed());
  EXPECT_EQ(Executions(), 3);
  EXPECT_NE(stmt->hDbc(), nullptr);
  EXPECT_EQ(stmt->RowSetSize(), 1u);

  // Destroyed by a handler: the execution is cancelled, and Execute ends silently without
  // touching the freed statement.
  THstmt* doomed = Statement({"Still=5"});
  doomed->SetExecAsync(true);
  Pump([&] { delete doomed; });
  EXPECT_THROW(doomed->Execute(), rtl::EAbort);
  EXPECT_EQ(Cancels(), 1);

  // Its connection destroyed by a handler: the same.
  THstmt* orphan = Statement({"Still=5"});
  orphan->SetExecAsync(true);
  THdbc* db = orphan->hDbc();
  Pump([&] { delete db; });
  EXPECT_THROW(orphan->Execute(), rtl::EAbort);
  EXPECT_EQ(Cancels(), 2);
  EXPECT_EQ(orphan->hDbc(), nullptr);
  EXPECT_FALSE(orphan->Allocated());

  // Destroyed by the handler of its own execution: Execute ends as it would have.
  for (rtl::TNotifyEvent THstmt::*hook : {&THstmt::OnLinkExecute, &THstmt::OnExecute}) {
    THstmt* done = Statement({});
    done->*hook = [done](rtl::TComponent*) { delete done; };
    EXPECT_NO_THROW(done->Execute());
  }
}

TEST_F(StatementScriptedTest, LongDataGoesInBlobSizePieces) {
  THstmt* stmt = Statement({});
  stmt->SetBlobPlacement(bpByParts);
  stmt->Prepare();
  rtl::TMemoryStream big(std::string(100000, 'x')), empty;
  stmt->BindBlobParam(1, &big, true);
  stmt->BindParamTyped(2, SQL_C_BINARY, &empty, SQL_LONGVARBINARY);
  // Without SQLDescribeParam the types are named, prepared or not.
  EXPECT_EQ(stmt->Params().front().SqlType, SQL_LONGVARBINARY);
  stmt->Execute();
  EXPECT_EQ(Pieces(), "32768;32768;32768;1696;0;");
  EXPECT_TRUE(stmt->Executed());

  // A refused piece raises with its own return code.
  THstmt* refusing = Statement({"PutData=fail"});
  refusing->SetBlobPlacement(bpByParts);
  refusing->BindBlobParam(1, &big, false);
  EODBC e = Raised<EODBC>([&] { refusing->Execute(); });
  EXPECT_EQ(e.RetCode, SQL_ERROR);
  EXPECT_EQ(e.Message(), "[Scripted]the data was refused");
  EXPECT_FALSE(refusing->Executed());
  EXPECT_EQ(Cancels(), 1);

  // Asked for a value that no parameter holds: the execution is cancelled, not left waiting.
  THstmt* stray = Statement({"Token=stray"});
  stray->SetBlobPlacement(bpByParts);
  stray->BindBlobParam(1, &big, false);
  EXPECT_EQ(Raised<rtl::Exception>([&] { stray->Execute(); }).Message(),
            "The driver asked for data that no bound parameter holds.");
  EXPECT_EQ(Cancels(), 2);
  EXPECT_FALSE(stray->Executed());
}

TEST_F(StatementScriptedTest, AnAsynchronousExecutionSendsItsLongDataBeforeItEnds) {
  rtl::TMemoryStream value(std::string(40000, 'x'));
  auto asynchronous = [&](std::vector<std::string> script) {
    THstmt* stmt = Statement(script);
    stmt->SetExecAsync(true);
    stmt->SetBlobPlacement(bpByParts);
    stmt->BindBlobParam(1, &value, true);
    return stmt;
  };
  THstmt* stmt = asynchronous({"Still=2"});
  int pumps = 0;
  Pump([&] { ++pumps; });
  stmt->Execute();
  EXPECT_EQ(Pieces(), "32768;7232;");
  EXPECT_EQ(pumps, 4);  // two polls of the execution, two of its end after the data
  EXPECT_TRUE(stmt->Executed());
  EXPECT_EQ(Sets(SQL_ATTR_ASYNC_ENABLE), 2);

  // A refused piece: its own error, the execution cancelled, the mode off again.
  THstmt* refusing = asynchronous({"PutData=fail"});
  EXPECT_EQ(Raised<EODBC>([&] { refusing->Execute(); }).Message(),
            "[Scripted]the data was refused");
  EXPECT_EQ(Cancels(), 1);
  EXPECT_EQ(Sets(SQL_ATTR_ASYNC_ENABLE), 4);
  EXPECT_FALSE(refusing->Executed());
  refusing->SetExecAsync(false);
  refusing->SetSQL("DELETE FROM t");
  EXPECT_NO_THROW(refusing->Execute());

  // Cancelled while the execution ends after its data.
  THstmt* cancelled = asynchronous({"Still=3"});
  const std::string sent = Pieces();
  Pump([&] {
    if (Pieces() != sent) cancelled->Cancel();
  });
  EXPECT_THROW(cancelled->Execute(), rtl::EAbort);
  EXPECT_TRUE(cancelled->Executed());
  EXPECT_EQ(Sets(SQL_ATTR_ASYNC_ENABLE), 6);
}

TEST_F(StatementScriptedTest, ADirectionServesOneBindWhateverItsOutcome) {
  THstmt* stmt = Statement({});
  stmt->Prepare();
  SQLINTEGER value = 1;
  const std::vector<std::function<void()>> failing = {
      [&] { stmt->BindParam(1, SQL_C_SLONG, &value); },  // the driver describes nothing
      [&] { stmt->BindParamTyped("c", SQL_C_SLONG, &value, SQL_INTEGER); },
      [&] { stmt->BindParameter(1, SQL_C_BINARY, &value, SQL_LONGVARBINARY, 0, 0, 2); },
  };
  for (std::size_t i = 0; i < failing.size(); ++i) {
    stmt->SetParamDirection(SQL_PARAM_OUTPUT);
    EXPECT_ANY_THROW(failing[i]());
    EXPECT_EQ(stmt->ParamDirection(), SQL_PARAM_INPUT) << i;
  }
}

}  // namespace
