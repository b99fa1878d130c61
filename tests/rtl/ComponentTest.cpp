// The component model and the reader of stored descriptions.

#include "rtl/ComponentReader.h"
#include "rtl/Exceptions.h"
#include "rtl/Published.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using rtl::TComponent;

// Records what it hears, and what its properties saw while being read.
class TProbe : public TComponent {
 public:
  explicit TProbe(TComponent* AOwner) : TComponent(AOwner) { ++alive; }
  ~TProbe() override {
    Teardown();
    if (log) log->push_back("destroyed " + Name());
    --alive;
  }
  static inline int alive = 0;

  const rtl::TPropertyList& Published() const override {
    static const rtl::TPropertyList list = [this] {
      rtl::TPropertyList l = rtl::TPublished<TProbe>(TComponent::Published())
                                 .Reference<TProbe>(
                                     "Partner", [](const TProbe& p) { return p.partner; },
                                     [](TProbe& p, TProbe* v) { p.partner = v; })
                                 .Integer(
                                     "Small", [](const TProbe& p) { return p.small; },
                                     [](TProbe& p, std::uint16_t v) { p.small = v; });
      l.push_back({"Text",
                   [](const TComponent& c) -> rtl::TPropertyValue {
                     return static_cast<const TProbe&>(c).text;
                   },
                   [](TComponent& c, const rtl::TPropertyValue& v) {
                     auto& p = static_cast<TProbe&>(c);
                     p.text = rtl::StringValue(v);
                     p.readWhileReading = p.InState(rtl::csReading);
                   }});
      l.push_back({"Lines",
                   [](const TComponent& c) -> rtl::TPropertyValue {
                     return static_cast<const TProbe&>(c).lines;
                   },
                   [](TComponent& c, const rtl::TPropertyValue& v) {
                     static_cast<TProbe&>(c).lines = rtl::ListValue(v);
                   }});
      l.push_back({"Count",
                   [](const TComponent& c) -> rtl::TPropertyValue {
                     return static_cast<const TProbe&>(c).count;
                   },
                   [](TComponent& c, const rtl::TPropertyValue& v) {
                     // Takes a number written as text, as a stored setting may hold it.
                     const std::string& text = rtl::StringValue(v);
                     if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
                       throw rtl::EConvertError::InvalidInteger(text);
                     static_cast<TProbe&>(c).count = std::stoll(text);
                   }});
      l.push_back({"Flag",
                   [](const TComponent& c) -> rtl::TPropertyValue {
                     return static_cast<const TProbe&>(c).flag;
                   },
                   [](TComponent& c, const rtl::TPropertyValue& v) {
                     static_cast<TProbe&>(c).flag = rtl::BoolValue(v);
                   }});
      return l;
    }();
    return list;
  }

  void Loaded() override {
    TComponent::Loaded();
    loadedSawAll = Owner() && Owner()->ComponentCount() >= 2 && !InState(rtl::csReading);
    if (log) log->push_back("loaded " + Name());
    if (text.rfind("fail", 0) == 0) throw rtl::Exception(text);
  }
  void Notification(TComponent* c, rtl::TOperation op) override {
    TComponent::Notification(c, op);
    if (log)
      log->push_back(std::string(op == rtl::TOperation::opInsert ? "insert " : "remove ") + Name() +
                     " hears " + c->Name());
    if (onHear) onHear(c, op);
  }

  std::string text;
  std::vector<std::string> lines;
  bool flag = false;
  bool readWhileReading = false;
  bool loadedSawAll = false;
  std::int64_t count = 0;
  TProbe* partner = nullptr;
  std::uint16_t small = 0;
  std::vector<std::string>* log = nullptr;
  std::function<void(TComponent*, rtl::TOperation)> onHear;
};

class ComponentTest : public ::testing::Test {
 protected:
  void SetUp() override { rtl::RegisterComponentClass<TProbe>("TProbe"); }
  void TearDown() override { rtl::UnregisterComponentClass("TProbe"); }
};

TEST_F(ComponentTest, OwnersDestroyTheirComponentsLastFirstAndNotifySiblings) {
  std::vector<std::string> log;
  {
    TComponent owner(nullptr);
    auto* a = TComponent::Create<TProbe>(&owner);
    a->SetName("A");
    a->log = &log;
    auto* b = TComponent::Create<TProbe>(nullptr);
    b->SetName("B");
    b->log = &log;
    owner.InsertComponent(b);
    EXPECT_EQ(owner.ComponentCount(), 2);
    EXPECT_EQ(owner.Components(1), b);
    EXPECT_EQ(owner.FindComponent("a"), a);
    EXPECT_EQ(log, (std::vector<std::string>{"insert A hears B"}));
    log.clear();
  }
  EXPECT_EQ(log, (std::vector<std::string>{"remove A hears B", "destroyed B", "destroyed A"}));
}

TEST_F(ComponentTest, DesignModeComesFromTheOwner) {
  TComponent owner(nullptr);
  owner.SetDesigning(true);
  auto* p = TComponent::Create<TProbe>(&owner);
  EXPECT_TRUE(p->InState(rtl::csDesigning));
  owner.SetDesigning(false);
  EXPECT_FALSE(p->InState(rtl::csDesigning));
}

TEST_F(ComponentTest, TheReaderSetsPropertiesWhileReadingAndLoadsAfterwards) {
  TComponent owner(nullptr);
  std::vector<std::string> log;
  auto created = rtl::ReadComponents(
      "# two probes\n"
      "object First: TProbe\n"
      "  Partner = 'second'  # read before Second exists\n"
      "  Text = 'it''s # not a comment'\n"
      "  Lines = ('one'\n"
      "           'two')\n"
      "  flag = true\n"
      "  Tag = -42\n"
      "end\n"
      "OBJECT Second: tprobe\n"
      "  Lines = ()\n"
      "END\n",
      &owner);
  ASSERT_EQ(created.size(), 2u);
  auto* first = static_cast<TProbe*>(owner.FindComponent("First"));
  auto* second = static_cast<TProbe*>(owner.FindComponent("Second"));
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->text, "it's # not a comment");
  EXPECT_EQ(first->lines, (std::vector<std::string>{"one", "two"}));
  EXPECT_TRUE(first->flag);
  EXPECT_EQ(first->partner, second);
  EXPECT_EQ(first->Tag(), -42);
  EXPECT_TRUE(first->readWhileReading);
  EXPECT_TRUE(first->loadedSawAll);  // Loaded runs after every component was read
  EXPECT_FALSE(first->InState(rtl::csLoading));
  EXPECT_EQ(std::get<std::string>(first->GetPropertyValue("TEXT")), "it's # not a comment");
}

TEST_F(ComponentTest, ABadDescriptionLeavesNothingBehind) {
  TComponent owner(nullptr);
  struct Case {
    const char* text;
    const char* message;
  };
  for (Case c :
       {Case{"object A: TProbe\n  Text = 'open\nend", "Line 2: unterminated text"},
        Case{"object A: TProbe\n  Text = 1\nend", "Line 2: Invalid property value"},
        Case{"object A: TProbe\nend\nobject B: TProbe\n  Colour = 'red'\nend",
             "Line 4: Property Colour does not exist"},
        Case{"object A: TNothing\nend", "Line 1: class TNothing not found"},
        Case{"object A: TProbe\n  Flag = True\n", "Line 3: expected 'end'"},
        Case{"object A: TProbe\nend\nobject a: TProbe\nend",
             "Line 3: a component named a already exists"},
        Case{"object A: TProbe\n  Small = 65536\nend", "Line 2: Invalid property value"},
        Case{"object A: TProbe\n  Partner = 'Nobody'\nend", "Line 2: component Nobody not found"},
        Case{"object A: TProbe\n  Tag = 99999999999999999999\nend",
             "Line 2: number out of range"}}) {
    try {
      rtl::ReadComponents(c.text, &owner);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const rtl::Exception& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_EQ(owner.ComponentCount(), 0) << c.text;
  }
}

TEST_F(ComponentTest, AComponentThatHearsMayInsertOrRemoveOthers) {
  std::vector<std::string> log;
  TComponent owner(nullptr);
  std::vector<TProbe*> probes;
  for (const char* name : {"A", "B", "C"}) {
    probes.push_back(TComponent::Create<TProbe>(&owner));
    probes.back()->SetName(name);
    probes.back()->log = &log;
  }
  // A leaves its owner when it hears of X; C makes a new component Y, which may move the list.
  std::unique_ptr<TProbe> a(probes[0]);
  a->onHear = [&](TComponent* c, rtl::TOperation op) {
    if (op == rtl::TOperation::opInsert && c->Name() == "X") owner.RemoveComponent(a.get());
  };
  probes[2]->onHear = [&](TComponent* c, rtl::TOperation op) {
    if (op == rtl::TOperation::opInsert && c->Name() == "X")
      for (int i = 0; i < 8; ++i) TComponent::Create<TProbe>(&owner)->SetName("Y");
  };
  auto* x = new TProbe(&owner);
  x->SetName("X");
  owner.InsertComponent(x);
  auto heard = [&](const std::string& entry) { return std::count(log.begin(), log.end(), entry); };
  EXPECT_EQ(heard("insert A hears X"), 1);
  EXPECT_EQ(heard("insert B hears X"), 1);
  EXPECT_EQ(heard("insert C hears X"), 1);
  EXPECT_EQ(a->Owner(), nullptr);
  EXPECT_EQ(owner.ComponentCount(), 2 + 1 + 8);
}

TEST_F(ComponentTest, AFailingLoadedLetsTheOthersLoadThenRaisesTheFirst) {
  const char* text =
      "object A: TProbe\n  Text = 'fail A'\nend\n"
      "object B: TProbe\nend\n"
      "object C: TProbe\n  Text = 'fail C'\nend\n";
  TComponent owner(nullptr);
  try {
    rtl::ReadComponents(text, &owner);
    ADD_FAILURE() << "no exception";
  } catch (const rtl::Exception& e) {
    EXPECT_EQ(e.Message(), "fail A");
  }
  ASSERT_EQ(owner.ComponentCount(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(owner.Components(i)->InState(rtl::csLoading)) << i;

  // Without an owner, nobody would free them.
  int alive = TProbe::alive;
  EXPECT_THROW(rtl::ReadComponents(text, nullptr), rtl::Exception);
  EXPECT_EQ(TProbe::alive, alive);
}

TEST_F(ComponentTest, AnErrorOfItsOwnClassFromAPropertyPassesUnchanged) {
  TComponent owner(nullptr);
  try {
    rtl::ReadComponents("object A: TProbe\n  Count = '12x'\nend\n", &owner);
    ADD_FAILURE() << "accepted";
  } catch (const rtl::EConvertError& e) {
    EXPECT_EQ(e.Message(), "'12x' is not a valid integer value");
  }
  EXPECT_EQ(owner.ComponentCount(), 0);
  auto created = rtl::ReadComponents("object A: TProbe\n  Count = '12'\nend\n", &owner);
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(static_cast<TProbe*>(created[0])->count, 12);
}

}  // namespace
