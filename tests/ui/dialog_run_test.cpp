// From the dialog to the converted file: the dialog fills the options, the run converts, and
// the outcome arrives as a message box, as in dialog mode.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/gui_loader.h"
#include "app/startup.h"
#include "platform/display.h"
#include "platform/native_text.h"
#include "platform/streams.h"
#include "support/temp_dir.h"
#include "ui/qt/main_dialog.h"

namespace glyphshift::ui {
namespace {

std::vector<std::pair<std::u16string, platform::MessageBoxIcon>> g_boxes;

void RecordMessageBox(std::u16string_view text, std::u16string_view, platform::MessageBoxIcon icon) {
  g_boxes.emplace_back(std::u16string(text), icon);
}

class DialogRun : public support::InTempDirTest {
 protected:
  void SetUp() override {
    support::InTempDirTest::SetUp();
    g_boxes.clear();
    platform::SetMessageBoxHandler(&RecordMessageBox);
    dialog_.SetFileChooser([this](const CMainDialog::ChooserRequest& request) -> std::optional<QString> {
      const auto answer = answers_.find(request.kind);
      if (answer == answers_.end()) return std::nullopt;
      return QString::fromStdString(answer->second);
    });
    options_.uiMode = true;  // as start-up sets them before running the dialog
    options_.output.noConsole = true;
  }
  void TearDown() override {
    platform::SetMessageBoxHandler(nullptr);
    support::InTempDirTest::TearDown();
  }

  QComboBox* List(int id) { return static_cast<QComboBox*>(dialog_.Control(id)); }
  void Click(int id) { QTest::mouseClick(static_cast<QPushButton*>(dialog_.Control(id)), Qt::LeftButton); }
  void Choose(CMainDialog::Chooser kind, const std::string& path, int button) {
    answers_[kind] = path;
    Click(button);
  }
  void SelectDestinationSet(const char* prefix) {
    List(kIdDestinationList)
        ->setCurrentIndex(List(kIdDestinationList)->findText(QString::fromLatin1(prefix), Qt::MatchStartsWith));
  }
  int RunDialogDoing(std::function<void()> action) {
    QTimer::singleShot(0, &dialog_, std::move(action));
    return dialog_.Run(options_);
  }
  // What start-up does after the dialog: the set was chosen, not detected.
  // Dialog mode sends the run's messages nowhere; the test's own output comes back afterwards.
  int RunConversion() {
    options_.autoDetectSource = false;
    const int result = Code(RunWithOptions(options_));
    EXPECT_FALSE(platform::RouteStream(platform::StdStream::Output, platform::StreamTarget::Console));
    EXPECT_FALSE(platform::RouteStream(platform::StdStream::Error, platform::StreamTarget::Console));
    return result;
  }

  CMainDialog dialog_;
  RunSettings options_;
  std::map<CMainDialog::Chooser, std::string> answers_;
};

TEST_F(DialogRun, ConvertWritesTheProposedDestinationAndReportsSuccess) {
  const std::string source = Write("caf\xC3\xA9.txt", "Caf\xE9\r\nna\xEFve\r\n");
  Choose(CMainDialog::Chooser::Source, source, kIdSourceButton);
  SelectDestinationSet("UTF-8 ");
  List(kIdLineBreakList)->setCurrentIndex(2);  // UNIX
  QTest::mouseClick(static_cast<QCheckBox*>(dialog_.Control(kIdNoBom)), Qt::LeftButton);
  ASSERT_EQ(RunDialogDoing([this] { Click(kIdConvert); }), kDialogConvert);

  EXPECT_EQ(RunConversion(), 0);
  EXPECT_EQ(Read((directory_ / "caf\xC3\xA9.2.txt").string()), "Caf\xC3\xA9\nna\xC3\xAFve\n");
  EXPECT_EQ(Read(source), "Caf\xE9\r\nna\xEFve\r\n") << "the source stays";
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].first, u"Conversion finished!");
  EXPECT_EQ(g_boxes[0].second, platform::MessageBoxIcon::Information);
}

TEST_F(DialogRun, AnUnwritableDestinationIsReportedByAnErrorBox) {
  Choose(CMainDialog::Chooser::Source, Write("in.txt", "hi"), kIdSourceButton);
  Choose(CMainDialog::Chooser::Destination, (directory_ / "missing" / "out.txt").string(), kIdDestinationButton);
  ASSERT_EQ(RunDialogDoing([this] { Click(kIdConvert); }), kDialogConvert);
  EXPECT_NE(RunConversion(), 0);
  ASSERT_EQ(g_boxes.size(), 1u);
  // Below the fixed text: where, and the system's reason.
  EXPECT_EQ(platform::ToNative(g_boxes[0].first), "An Error occured during file creation.\n\n\"" +
                                                      (directory_ / "missing" / "out.txt").string() + "\"\n" +
                                                      "No such file or directory");
  EXPECT_EQ(g_boxes[0].second, platform::MessageBoxIcon::Error);
}

TEST_F(DialogRun, CancelConvertsNothing) {
  Choose(CMainDialog::Chooser::Source, Write("in.txt", "hi"), kIdSourceButton);
  ASSERT_TRUE(dialog_.Control(kIdConvert)->isEnabled());
  EXPECT_EQ(RunDialogDoing([this] { Click(kIdCancel); }), kDialogCancel);
  EXPECT_TRUE(options_.sources.empty());
  EXPECT_TRUE(options_.outputPath.empty());
  EXPECT_FALSE(std::filesystem::exists(directory_ / "in.2.txt"));
  EXPECT_TRUE(g_boxes.empty());
}

}  // namespace
}  // namespace glyphshift::ui
