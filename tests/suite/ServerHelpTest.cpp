#include "platform/Fonts.h"
#include "platform/WindowHandles.h"
#include "rtl/ExtCtrls.h"
#include "suite/Rt_forms.h"
#include "tests/suite/TestRouter.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TempFolder.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QTreeWidget>
#include <QWhatsThis>
#include <cstdio>
#include <gtest/gtest.h>

using namespace suite;
using testing_support::PldServer;
using testing_support::TestRouter;

namespace {

// A server window with one control of each kind that help and fonts treat differently.
struct FitterDialog : TServerDialog {
  FitterDialog() {
    setWindowTitle("Fitter (Setup) $1, a-b/c? & more.:x");
    resize(400, 300);
    auto add = [this](QWidget* w, const char* name, int y) {
      w->setObjectName(name);
      w->setGeometry(10, y, 200, 24);
      return w;
    };
    edit = static_cast<QLineEdit*>(add(new QLineEdit(this), "Edit1", 10));
    ok = static_cast<QPushButton*>(add(new QPushButton("OK", this), "BOk", 40));
    label = static_cast<QLabel*>(add(new QLabel("Label", this), "Label1", 70));
    group = static_cast<rtl::TRadioGroup*>(add(new rtl::TRadioGroup(this), "Mode", 100));
    group->SetItems({"Fast", "Exact"});
    group->resize(200, 80);
    notes = static_cast<QTextEdit*>(add(new QTextEdit(this), "Notes", 190));
    memo = static_cast<QPlainTextEdit*>(add(new QPlainTextEdit(this), "Memo", 220));
    pages = static_cast<QTabWidget*>(add(new QTabWidget(this), "Pages", 250));
    list = static_cast<QListWidget*>(add(new QListWidget(this), "List", 10));
    list->move(220, 10);
    combo = static_cast<QComboBox*>(add(new QComboBox(this), "Combo", 40));
    combo->move(220, 40);
    combo->setEditable(true);
    bevel = static_cast<QFrame*>(add(new QFrame(this), "Bevel1", 70));
    bevel->move(220, 70);
    bevel->setFrameShape(QFrame::Box);
    spin = static_cast<QSpinBox*>(add(new QSpinBox(this), "Spin1", 100));
    spin->move(220, 100);
    tree = static_cast<QTreeWidget*>(add(new QTreeWidget(this), "Tree1", 130));
    tree->setGeometry(220, 130, 200, 60);
    tree->setHeaderLabels({"Fitter"});
  }
  QLineEdit* edit;
  QPushButton* ok;
  QLabel* label;
  rtl::TRadioGroup* group;
  QTextEdit* notes;
  QPlainTextEdit* memo;
  QTabWidget* pages;
  QListWidget* list;
  QComboBox* combo;
  QFrame* bevel;
  QSpinBox* spin;
  QTreeWidget* tree;
};

const std::string Topic = "PLD_FitterSetup1abc&more.:x";

class ServerHelp : public ::testing::Test {
 protected:
  ServerHelp() : router_(TEST_ROUTER_FULL) {
    ServerModule = &server_;
    std::string program = QCoreApplication::applicationDirPath().toStdString();
    mapFile_ = program + "/HelpTest.id";
    testing_support::WriteFile(mapFile_, "Other = 1\r\nPLD_x_y=2 | " + Topic + "_Edit1 = 3\r\n" +
                                             Topic + "_Mode=4\n" + Topic + "_BOk\n" + Topic +
                                             "_Memo=5 | " + Topic + "_List=6 | " + Topic +
                                             "_Combo=7\n");
    dialog_.show();
    router_.Clear();
  }
  ~ServerHelp() override {
    ServerModule = nullptr;
    std::remove(mapFile_.c_str());
  }

  // What the host was asked to show, one "topic popup" per request.
  std::vector<std::string> HelpRequests() const {
    std::vector<std::string> shown;
    std::string calls = router_.Calls();
    const std::string marker = "text=RUNHELPTOPIC,params=";
    for (std::size_t at = calls.find(marker); at != std::string::npos;
         at = calls.find(marker, at + 1)) {
      std::size_t start = at + marker.size();
      shown.push_back(calls.substr(start, calls.find(')', start) - start));
    }
    return shown;
  }
  std::string Request(const std::string& topic) const {
    return "FileName = HelpTest.HLP | Topic = " + topic + " | Popup = TRUE";
  }
  void Help(QWidget* control) {
    HELPINFO info{sizeof(HELPINFO), HELPINFO_WINDOW, 0, platform::HandleOf(control), 0, {0, 0}};
    dialog_.WMHelp(&info);
  }

  PldServer server_{"HelpTest.HLP"};
  TestRouter router_;
  FitterDialog dialog_;
  std::string mapFile_;
};

}  // namespace

TEST_F(ServerHelp, TopicsComeFromServerCaptionAndControl) {
  Help(dialog_.edit);
  Help(dialog_.group->Buttons()[1]);  // a radio button stands for its group
  HELPINFO info{sizeof(HELPINFO), HELPINFO_WINDOW, 0, platform::HandleOf(dialog_.ok), 0, {0, 0}};
  ASSERT_TRUE(QMetaObject::invokeMethod(&dialog_, "WMHelp", Q_ARG(const HELPINFO*, &info)));
  EXPECT_EQ(HelpRequests(),
            (std::vector<std::string>{Request(Topic + "_Edit1"), Request(Topic + "_Mode"),
                                      Request("No_Help_Topic")}));
  // Every request is announced to the host first.
  EXPECT_EQ(router_.Calls().rfind("GetModuleHandleFromModuleName(Client);CreateMessage(0,7,0);"
                                  "Deliver(code=1100,dest=1,window=0,value=0,text=,params=);",
                                  0),
            0u);
}

TEST_F(ServerHelp, ControlsWithoutHelpAndForeignWindowsGiveNothing) {
  Help(dialog_.notes);
  Help(dialog_.pages);
  Help(dialog_.label);
  Help(dialog_.bevel);  // drawn on the window, like a label
  QWidget stranger;
  Help(&stranger);
  HELPINFO menu{
      sizeof(HELPINFO), HELPINFO_MENUITEM, 0, platform::HandleOf(dialog_.edit), 0, {0, 0}};
  dialog_.WMHelp(&menu);
  EXPECT_TRUE(HelpRequests().empty());
  EXPECT_NE(router_.Calls().find("code=1100"), std::string::npos);
}

TEST_F(ServerHelp, HelpFileNameIsTakenOnceFromTheServer) {
  EXPECT_TRUE(dialog_.HelpFileName.empty());
  Help(dialog_.edit);
  EXPECT_EQ(dialog_.HelpFileName, "HelpTest.HLP");
  server_.HelpFile = "Other.HLP";  // whose map file does not exist
  Help(dialog_.edit);
  EXPECT_EQ(HelpRequests().back(), Request("No_Help_Topic"));
}

TEST_F(ServerHelp, F1AndWhatsThisReachTheControl) {
  QApplication::setActiveWindow(&dialog_);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog_));
  dialog_.edit->setFocus();
  QTest::keyClick(dialog_.edit, Qt::Key_F1);
  // A click lands on the widget under the pointer, which may be a part of the control.
  for (QWidget* part :
       {static_cast<QWidget*>(dialog_.group->Buttons()[0]), dialog_.memo->viewport(),
        dialog_.list->viewport(), static_cast<QWidget*>(dialog_.combo->lineEdit())}) {
    QWhatsThis::enterWhatsThisMode();
    QTest::mouseClick(part, Qt::LeftButton);
  }
  EXPECT_EQ(HelpRequests(),
            (std::vector<std::string>{Request(Topic + "_Edit1"), Request(Topic + "_Mode"),
                                      Request(Topic + "_Memo"), Request(Topic + "_List"),
                                      Request(Topic + "_Combo")}));
}

TEST_F(ServerHelp, MapFileIsFoundInAnyLetterCaseAndAMissingOneAsksForNoHelpTopic) {
  const std::string upper = mapFile_.substr(0, mapFile_.size() - 2) + "ID";
  ASSERT_EQ(std::rename(mapFile_.c_str(), upper.c_str()), 0);
  Help(dialog_.edit);
  std::remove(upper.c_str());
  Help(dialog_.edit);
  EXPECT_EQ(HelpRequests(),
            (std::vector<std::string>{Request(Topic + "_Edit1"), Request("No_Help_Topic")}));
}

TEST(HostFont, ReachesTheListedControlsButNotAScrollBar) {
  PldServer server("HelpTest.HLP");
  ServerModule = &server;
  TestRouter router(TEST_ROUTER_FULL);
  LOGFONTA description{};
  description.lfHeight = -17;
  description.lfWeight = FW_BOLD;
  std::strcpy(description.lfFaceName, "Liberation Serif");
  HFONT host = CreateFontIndirectA(&description);

  {  // a host that answers 0 changes nothing
    FitterDialog dialog;
    QFont before = dialog.edit->font();
    dialog.show();
    EXPECT_EQ(dialog.edit->font(), before);
    EXPECT_EQ(dialog.font(), before);
  }

  router.Call("TestRouter_SetFontHandle", std::size_t{host});
  auto* dialog = new FitterDialog;
  auto* scroll = new QScrollBar(Qt::Vertical, dialog);
  scroll->setObjectName("ScrollBar1");
  QFont scrollBefore = scroll->font();
  dialog->show();
  for (QWidget* w :
       std::initializer_list<QWidget*>{dialog, dialog->edit, dialog->ok, dialog->label,
                                       dialog->group, dialog->group->Buttons()[0], dialog->memo,
                                       dialog->pages, dialog->tree, dialog->tree->header()}) {
    EXPECT_EQ(QFontInfo(w->font()).family(), "Liberation Serif") << w->objectName().toStdString();
    EXPECT_EQ(w->font().pixelSize(), 17);
    EXPECT_TRUE(w->font().bold());
  }
  EXPECT_EQ(scroll->font(), scrollBefore);
  // Inner parts go with their control: a memo's scroll bar with the memo, a spin box's edit box
  // with the spin box, which is not a kind that takes the font.
  EXPECT_EQ(dialog->memo->verticalScrollBar()->font().pixelSize(), 17);
  EXPECT_EQ(dialog->spin->font(), scrollBefore);
  EXPECT_EQ(dialog->spin->findChild<QLineEdit*>()->font(), scrollBefore);
  EXPECT_NE(QFontInfo(dialog->notes->font()).family(), "Liberation Serif");  // rich edit

  // The window's own copy of the host font lives as long as the window.
  HFONT own = dialog->AdoptedFont();
  EXPECT_NE(own, host);
  EXPECT_TRUE(platform::FontOf(own).has_value());
  delete dialog;
  EXPECT_FALSE(platform::FontOf(own).has_value());
  EXPECT_TRUE(platform::FontOf(host).has_value());  // the host's is the host's
  DeleteObject(host);
  ServerModule = nullptr;
}
