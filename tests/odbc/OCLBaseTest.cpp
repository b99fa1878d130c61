// The children lists and the free-handle event.

#include "tests/odbc/OdbcTestSupport.h"

#include <memory>
#include <vector>

using namespace ocl;
using ocl_test::OdbcTest;

namespace {

using ChildrenTest = OdbcTest;

std::unique_ptr<THdbc> NewConnection(const char* name) {
  auto db = ocl_test::NewConnection();
  db->SetName(name);
  return db;
}

TEST_F(ChildrenTest, RemoveTakesOnlyTheEntryNearestTheFront) {
  auto a = NewConnection("A"), b = NewConnection("B"), c = NewConnection("C");
  TChildren list;
  EXPECT_TRUE(list.FreeAll());  // an empty list returns at once
  list.Add(a.get());
  list.Add(b.get());
  list.Add(a.get());
  EXPECT_EQ(list.Items(), (std::vector<THbase*>{a.get(), b.get(), a.get()}));

  list.Remove(c.get());
  EXPECT_EQ(list.Items(), (std::vector<THbase*>{a.get(), b.get(), a.get()}));
  list.Remove(a.get());
  EXPECT_EQ(list.Items(), (std::vector<THbase*>{b.get(), a.get()}));
  list.Clear();
  EXPECT_TRUE(list.Empty());
}

TEST_F(ChildrenTest, FreeAllReleasesTheNewestFirst) {
  testing_support::TempFolder folder;
  std::vector<std::string> order;
  std::vector<std::unique_ptr<THdbc>> connections;
  for (const char* name : {"First", "Second", "Third"}) {
    connections.push_back(NewConnection(name));
    connections.back()->OnFreeHandle = [&](rtl::TComponent* sender) {
      order.push_back(sender->Name());
    };
    connections.back()->Handle();
  }
  ocl_test::UseSqlite(*connections[1], folder.File("second.db"));
  connections[1]->Connect();
  int disconnects = 0;
  connections[1]->OnDisconnect = [&](rtl::TComponent*) { ++disconnects; };

  TChildren& children = Environment()->Children();
  ASSERT_EQ(children.Items().size(), 3u);
  EXPECT_TRUE(children.FreeAll());
  EXPECT_TRUE(children.Empty());
  EXPECT_EQ(order, (std::vector<std::string>{"Third", "Second", "First"}));
  EXPECT_EQ(disconnects, 1);
  for (auto& db : connections) EXPECT_FALSE(db->Allocated());
}

TEST_F(ChildrenTest, OnFreeHandleFiresForEveryCallWithOrWithoutAHandle) {
  auto db = NewConnection("Db");
  int fired = 0;
  bool allocatedWhenFired = false;
  db->OnFreeHandle = [&](rtl::TComponent* sender) {
    EXPECT_EQ(sender, db.get());
    ++fired;
    allocatedWhenFired = db->Allocated();
  };
  EXPECT_TRUE(db->FreeHandle());
  EXPECT_TRUE(db->FreeHandle());
  EXPECT_EQ(fired, 2);

  db->Handle();
  EXPECT_TRUE(db->FreeHandle());
  EXPECT_EQ(fired, 3);
  EXPECT_TRUE(allocatedWhenFired);  // it fires before the handle goes
  EXPECT_TRUE(Environment()->Children().Empty());
}

TEST_F(ChildrenTest, TheEnvironmentsFreeHandleLeavesItsOwnHandle) {
  auto db = NewConnection("Db");
  db->Handle();
  int fired = 0;
  Environment()->OnFreeHandle = [&](rtl::TComponent*) { ++fired; };
  EXPECT_FALSE(Environment()->FreeHandle());  // still holds the environment handle
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(db->Allocated());
  EXPECT_TRUE(Environment()->Allocated());
  EXPECT_TRUE(Environment()->ReleaseHandle());
  EXPECT_EQ(fired, 2);
  EXPECT_FALSE(Environment()->Allocated());
}

TEST_F(ChildrenTest, AConnectionIsListedOnlyOnceItsHandleExists) {
  auto db = NewConnection("Db");
  ASSERT_TRUE(Environment()->ReleaseHandle());
  // Without an environment handle the allocation fails.
  EODBC e = ocl_test::Raised<EODBC>([&] { db->Handle(); });
  EXPECT_EQ(e.RetCode, SQL_INVALID_HANDLE);
  EXPECT_EQ(e.Message(), "Invalid ODBC Handle");
  EXPECT_FALSE(db->Allocated());
  EXPECT_TRUE(Environment()->Children().Empty());

  ASSERT_TRUE(Environment()->AllocHandle());
  db->Handle();
  EXPECT_EQ(Environment()->Children().Items(), (std::vector<THbase*>{db.get()}));
}

}  // namespace
