#include "app/INIUtil.h"
#include "app/MelSet.h"
#include "app/SettingsText.h"
#include "rtl/Application.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TempFolder.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QFontInfo>
#include <QListView>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace app;
using testing_support::ModalWatcher;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempFolder;
using testing_support::WriteFile;

namespace {

class SetupWindow : public ::testing::Test {
 protected:
  SetupWindow() : windir_("WINDIR", folder_.Path().c_str()) {
    INIUtil_Startup();
    rtl::Application::Instance()->Initialize();
  }
  ~SetupWindow() override { CloseForm(); }

  static void CloseForm() {
    delete MelrokForm;
    MelrokForm = nullptr;
  }

  // Creates and shows the window as the program does, with the settings file as given.
  TMelrokForm& Open(const std::string* settings = nullptr) {
    if (settings) WriteFile(Ini(), *settings);
    rtl::Application::Instance()->CreateForm(MelrokForm);
    MelrokForm->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(MelrokForm));
    return *MelrokForm;
  }
  TMelrokForm& OpenWith(const std::string& settings) { return Open(&settings); }

  std::string Ini() const { return folder_.File("Tessora.INI"); }
  std::string Recorded() const { return ReadIniString("Fitters", "MelrokPM", "<none>").str(); }
  bool Ended() const { return rtl::Application::Instance()->Terminated(); }

  // Types a path into the edit box and presses Set.
  void TypeAndSet(TMelrokForm& form, const QString& text) {
    form.Edit1->clear();
    QTest::keyClicks(form.Edit1, text);
    QTest::mouseClick(form.BSet, Qt::LeftButton);
  }

  TempFolder folder_;
  ScopedEnv windir_;
};

}  // namespace

TEST_F(SetupWindow, LayoutTextsAndTabOrderAsDesigned) {
  TMelrokForm& form = Open();
  EXPECT_EQ(form.windowTitle(), "Melrok Palomir Setup");
  EXPECT_EQ(form.pos(), QPoint(337, 259));
  struct Expected {
    QWidget* widget;
    QRect geometry;
  };
  // Labels keep their place and size themselves to their text, inside the window.
  for (const Expected& e :
       {Expected{form.Label2, {8, 8, 0, 13}}, Expected{form.Label3, {8, 24, 0, 13}},
        Expected{form.Label4, {8, 40, 0, 13}}, Expected{form.Label1, {16, 80, 0, 13}}}) {
    auto* label = static_cast<QLabel*>(e.widget);
    EXPECT_EQ(label->pos(), e.geometry.topLeft());
    int text = label->fontMetrics().horizontalAdvance(label->text());
    EXPECT_GE(label->width(), text);
    EXPECT_LE(label->width(), text + 2);
    EXPECT_LE(label->geometry().right(), form.width());
  }
  EXPECT_EQ(QFontInfo(form.font()).family(), "Liberation Sans");
  for (const Expected& e :
       {Expected{form.Edit1, {16, 96, 201, 21}}, Expected{form.Browse, {224, 96, 75, 25}},
        Expected{form.BSet, {16, 136, 75, 25}}, Expected{form.BCancel, {224, 136, 75, 25}}})
    EXPECT_EQ(e.widget->geometry(), e.geometry) << e.widget->objectName().toStdString();
  EXPECT_EQ(form.Label2->text(), "This program will set up the directory location of the Melrok ");
  EXPECT_EQ(form.Label3->text(), "Palomir Software.  You can change the fitter location");
  EXPECT_EQ(form.Label4->text(), "by running the Brinmark\\Library\\PLDMelrokSetup.exe");
  EXPECT_EQ(form.Label1->text(), "Palomir Executable Location");
  EXPECT_EQ(form.Browse->text(), "&Browse");
  EXPECT_EQ(form.BSet->text(), "&Set");
  EXPECT_EQ(form.BCancel->text(), "&Cancel");
  for (QPushButton* b : {form.Browse, form.BSet, form.BCancel}) {
    EXPECT_FALSE(b->isDefault());
    EXPECT_FALSE(b->autoDefault());
  }
  EXPECT_EQ(form.Edit1->nextInFocusChain(), form.BSet);
  EXPECT_EQ(form.BSet->nextInFocusChain(), form.BCancel);
  EXPECT_EQ(form.BCancel->nextInFocusChain(), form.Browse);
  EXPECT_EQ(rtl::TOpenDialog::NameFilters(form.PalomirOpenDialog->Filter),
            QStringList{"Palomir Software (Palomir.exe)"});
  // The server-dialog frame.
  EXPECT_EQ(form.CreatedParams().Style, 0x80C80080u);
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_EQ(form.parentWidget(), nullptr);
}

TEST_F(SetupWindow, StartsEmptyWithoutARecordedLocation) {
  EXPECT_EQ(Open().Edit1->text(), "");
  CloseForm();
  EXPECT_EQ(OpenWith("[Fitters]\nOther=1\n").Edit1->text(), "");
}

TEST_F(SetupWindow, RecordedDirectoryRoundTrips) {
  TMelrokForm& form = OpenWith("[Fitters]\nMelrokPM=C:\\Palomir\\\n");
  EXPECT_EQ(form.Edit1->text(), "C:\\Palomir\\Palomir.exe");
  QTest::mouseClick(form.BSet, Qt::LeftButton);
  EXPECT_TRUE(Ended());
  EXPECT_EQ(ReadFile(Ini()), "[Fitters]\nMelrokPM=C:\\Palomir\\\n");
}

TEST_F(SetupWindow, RecordedBytesRoundTripAndTypedCharactersAreRecordedWhole) {
  // UTF-8 shows as its characters; a byte that is not UTF-8 (an ANSI "é") goes back as it was.
  const std::string settings =
      "[Fitters]\nMelrokPM=/opt/Gr\xC3\xBC\xC3\x9F"
      "e/Caf\xE9\\\n";
  TMelrokForm& form = OpenWith(settings);
  EXPECT_TRUE(form.Edit1->text().startsWith(QString::fromUtf8("/opt/Grüße/Caf")));
  EXPECT_TRUE(form.Edit1->text().endsWith("\\Palomir.exe"));
  QTest::mouseClick(form.BSet, Qt::LeftButton);
  EXPECT_EQ(ReadFile(Ini()), settings);

  rtl::Application::Instance()->Initialize();
  CloseForm();
  TMelrokForm& typed = Open();
  typed.Edit1->clear();
  QTest::keyClicks(typed.Edit1, "/opt/Caf");
  QKeyEvent eacute(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QString::fromUtf8("é"));
  QApplication::sendEvent(typed.Edit1, &eacute);
  QTest::keyClicks(typed.Edit1, "/Palomir.exe");
  QTest::mouseClick(typed.BSet, Qt::LeftButton);
  EXPECT_EQ(Recorded(), "/opt/Caf\xC3\xA9/");

  // The cut to 255 bytes drops a character that would not fit whole.
  rtl::Application::Instance()->Initialize();
  CloseForm();
  TMelrokForm& again = Open();
  const std::string start = "/" + std::string(253, 'a');
  again.Edit1->setText(QString::fromStdString(start) + QString::fromUtf8("é/Palomir.exe"));
  QTest::mouseClick(again.BSet, Qt::LeftButton);
  EXPECT_EQ(Recorded(), start);
}

TEST(SettingsText, AnyBytesRoundTripThroughTheEditBox) {
  // Cut, overlong, surrogate and out-of-range sequences, and a stray byte after a 4-byte one.
  for (std::string bytes : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xE2\x82",
                            "\xF0\x9F\x98\x80\xE9"}) {
    QLineEdit edit;
    edit.setText(TextOf(bytes));
    EXPECT_EQ(BytesOf(edit.text()), bytes);
  }
  EXPECT_EQ(TextOf("\xF0\x9F\x98\x80"), QString::fromUtf8("\xF0\x9F\x98\x80"));
  EXPECT_EQ(CutWhole("ab\xF0\x9F\x98\x80\xE9", 5), "ab");
  EXPECT_EQ(CutWhole("ab\xF0\x9F\x98\x80\xE9", 6), "ab\xF0\x9F\x98\x80");
}

TEST_F(SetupWindow, RecordedDirectoryWithoutSeparatorRunsTogetherAndSetRecordsItsParent) {
  TMelrokForm& form = OpenWith("[Fitters]\nMelrokPM=C:\\Tools\\Palomir\n");
  EXPECT_EQ(form.Edit1->text(), "C:\\Tools\\PalomirPalomir.exe");
  QTest::mouseClick(form.BSet, Qt::LeftButton);
  EXPECT_EQ(Recorded(), "C:\\Tools\\");
}

TEST_F(SetupWindow, SetRecordsTheDirectoryPartOfTheText) {
  struct Case {
    const char* typed;
    const char* recorded;
  };
  for (const Case& c : {Case{"D:\\Fitters\\Palomir", "D:\\Fitters\\"},
                        Case{"/opt/palomir/bin/Palomir.exe", "/opt/palomir/bin/"},
                        Case{"C:Palomir.exe", "C:"}, Case{"Palomir.exe", ""}}) {
    rtl::Application::Instance()->Initialize();
    TMelrokForm& form = Open();
    TypeAndSet(form, c.typed);
    EXPECT_TRUE(Ended()) << c.typed;
    EXPECT_EQ(Recorded(), c.recorded) << c.typed;
    CloseForm();
  }
}

TEST_F(SetupWindow, SetWithEmptyBoxEnterAndEscapeDoNothing) {
  TMelrokForm& form = Open();
  QTest::mouseClick(form.BSet, Qt::LeftButton);
  QTest::keyClicks(form.Edit1, "/opt/palomir/Palomir.exe");
  form.Edit1->setFocus();
  QTest::keyClick(form.Edit1, Qt::Key_Return);
  QTest::keyClick(form.Edit1, Qt::Key_Enter);
  QTest::keyClick(form.Edit1, Qt::Key_Escape);
  QTest::qWait(50);
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(Ended());
  EXPECT_FALSE(testing_support::FileExists(Ini()));
}

TEST_F(SetupWindow, AcceleratorsPressTheirButtons) {
  TMelrokForm& form = Open();
  form.Edit1->setText("/opt/palomir/Palomir.exe");
  QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
  QTRY_VERIFY_WITH_TIMEOUT(Ended(), 2000);
  EXPECT_EQ(Recorded(), "/opt/palomir/");

  rtl::Application::Instance()->Initialize();
  CloseForm();
  TMelrokForm& again = Open();
  QTest::keyClick(&again, Qt::Key_C, Qt::AltModifier);
  QTRY_VERIFY_WITH_TIMEOUT(Ended(), 2000);
  EXPECT_EQ(Recorded(), "/opt/palomir/");
}

TEST_F(SetupWindow, BrowsePutsTheChosenPathAndCancelKeepsTheText) {
  TMelrokForm& form = OpenWith("[Fitters]\nMelrokPM=/old/\n");
  for (const char* file : {"PALOMIR.EXE", "palomir.exe", "Palomir.txt"})
    WriteFile(folder_.File(file), "");
  QStringList listed;
  ModalWatcher watcher;
  watcher.Expect([&](QWidget* modal) {
    auto* dialog = static_cast<QFileDialog*>(modal);
    auto* files = dialog->findChild<QFileSystemModel*>();
    QSignalSpy loaded(files, &QFileSystemModel::directoryLoaded);  // read in the background
    dialog->setDirectory(QString::fromStdString(folder_.Path()));
    auto* view = dialog->findChild<QListView*>("listView");
    EXPECT_TRUE(loaded.wait(2000));
    for (int row = 0; view && row < view->model()->rowCount(view->rootIndex()); ++row)
      listed << view->model()->index(row, 0, view->rootIndex()).data().toString();
    dialog->reject();
  });
  QTest::mouseClick(form.Browse, Qt::LeftButton);
  EXPECT_EQ(watcher.Modals, QStringList{"QFileDialog"});
  EXPECT_EQ(form.Edit1->text(), "/old/Palomir.exe");
  // The filter matches without regard to case, as on Windows.
  listed.sort();
  EXPECT_EQ(listed, (QStringList{"PALOMIR.EXE", "palomir.exe"}));

  const std::string chosen = folder_.File("fitter/Palomir.exe");  // need not exist
  watcher.Expect([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->nameFilters(), QStringList{"Palomir Software (Palomir.exe)"});
    dialog->selectFile(QString::fromStdString(chosen));
    QMetaObject::invokeMethod(dialog, "accept");
  });
  std::filesystem::create_directory(folder_.File("fitter"));
  QTest::mouseClick(form.Browse, Qt::LeftButton);
  EXPECT_EQ(form.Edit1->text().toStdString(), chosen);
  EXPECT_FALSE(Ended());
  EXPECT_EQ(Recorded(), "/old/");
}

TEST_F(SetupWindow, CancelAndTheCloseBoxWriteNothing) {
  const std::string settings = "[Fitters]\r\nMelrokPM=/old/\r\n";
  TMelrokForm& form = OpenWith(settings);
  form.Edit1->setText("/new/Palomir.exe");
  QTest::mouseClick(form.BCancel, Qt::LeftButton);
  EXPECT_TRUE(Ended());
  EXPECT_EQ(ReadFile(Ini()), settings);

  rtl::Application::Instance()->Initialize();
  CloseForm();
  TMelrokForm& again = Open();
  again.Edit1->setText("/new/Palomir.exe");
  EXPECT_TRUE(again.close());
  EXPECT_TRUE(Ended());
  EXPECT_EQ(ReadFile(Ini()), settings);
}

TEST_F(SetupWindow, RefusedWriteIsReportedAndTheWindowStays) {
  const std::string settings = "[Fitters]\nMelrokPM=/old/\n";
  TMelrokForm& form = OpenWith(settings);
  ::chmod(Ini().c_str(), 0444);
  ModalWatcher watcher;
  watcher.ExpectMessageBox();
  TypeAndSet(form, "/new/Palomir.exe");
  ASSERT_EQ(watcher.MessageBoxes.size(), 1);
  EXPECT_EQ(watcher.MessageBoxes[0].toStdString(),
            "Melrok Palomir Setup|The fitter location could not be recorded in the settings "
            "file \"" +
                folder_.Path() + "\\Tessora.INI\".");
  EXPECT_FALSE(Ended());
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(ReadFile(Ini()), settings);

  // Once the file may be written again, Set records and ends.
  ::chmod(Ini().c_str(), 0644);
  QTest::mouseClick(form.BSet, Qt::LeftButton);
  EXPECT_TRUE(Ended());
  EXPECT_EQ(Recorded(), "/new/");
}
