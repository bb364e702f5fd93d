// The Qt dialog on the offscreen platform: controls, layout while resizing, file choosers,
// detection, and what Convert and Cancel hand to the run.
#include "ui/qt/main_dialog.h"
#include "ui/gui_module.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "support/temp_dir.h"

namespace glyphshift::ui {
namespace {

class MainDialog : public support::InTempDirTest {
 protected:
  void SetUp() override {
    support::InTempDirTest::SetUp();
    dialog_ = std::make_unique<CMainDialog>();
    dialog_->SetFileChooser([this](const CMainDialog::ChooserRequest& request) -> std::optional<QString> {
      requests_.push_back(request);
      if (answers_.empty()) return std::nullopt;
      QString answer = answers_.front();
      answers_.erase(answers_.begin());
      return answer;
    });
  }
  void TearDown() override {
    dialog_.reset();
    support::InTempDirTest::TearDown();
  }

  template <class T = QWidget>
  T* Get(int id) const {
    auto* control = qobject_cast<T*>(dialog_->Control(id));
    EXPECT_NE(control, nullptr) << "control " << id;
    return control;
  }
  QComboBox* List(int id) const { return Get<QComboBox>(id); }
  void Click(int id) const { QTest::mouseClick(Get<QPushButton>(id), Qt::LeftButton); }
  void ChooseSource(const std::string& path) {
    answers_.push_back(QString::fromStdString(path));
    Click(kIdSourceButton);
  }
  QString Selected(int listId) const { return List(listId)->currentText(); }
  // Runs the dialog modally and does `action` inside its loop.
  int RunDoing(RunSettings& options, std::function<void()> action) {
    QTimer::singleShot(0, dialog_.get(), std::move(action));
    return dialog_->Run(options);
  }

  std::unique_ptr<CMainDialog> dialog_;
  std::vector<CMainDialog::ChooserRequest> requests_;
  std::vector<QString> answers_;
};

const QString kUtf16 = QStringLiteral("UTF-16 (Unicode Transformation 16 Bits)");
const QString kUtf16Be = QStringLiteral("UTF-16BE (Unicode Transformation 16 Bits, Big Endian)");

TEST_F(MainDialog, StartsWithTheTemplatesControlsAndTexts) {
  EXPECT_EQ(dialog_->windowTitle(), QStringLiteral("Glyphshift"));
  EXPECT_EQ(Get<QPushButton>(kIdConvert)->text(), QStringLiteral("&Convert"));
  EXPECT_TRUE(Get<QPushButton>(kIdConvert)->isDefault());
  EXPECT_FALSE(Get<QPushButton>(kIdConvert)->isEnabled());
  EXPECT_EQ(Get<QPushButton>(kIdCancel)->text(), QStringLiteral("Cancel"));
  EXPECT_EQ(Get<QPushButton>(kIdSourceButton)->text(), QStringLiteral("..."));
  EXPECT_EQ(Get<QGroupBox>(kIdOptionsGroup)->title(), QStringLiteral("Options"));
  EXPECT_EQ(Get<QGroupBox>(kIdFiletypeGroup)->title(), QStringLiteral("Filetype"));
  EXPECT_EQ(Get<QCheckBox>(kIdNoBom)->text(), QStringLiteral("Do not write a Byte Order Marker (BOM)"));
  EXPECT_EQ(Get<QCheckBox>(kIdModifyXml)->text(), QStringLiteral("Modify XML file header if available"));
  EXPECT_EQ(Get<QCheckBox>(kIdModifyHtml)->text(), QStringLiteral("Modify HTML META character set if available"));
  EXPECT_EQ(Get<QLabel>(kIdLineBreakNote)->text(),
            QStringLiteral("Type of line break to use. DOS uses CRLF for instance."));
  QStringList labels;
  for (const QLabel* label : dialog_->findChildren<QLabel*>()) labels << label->text();
  EXPECT_TRUE(labels.contains(QStringLiteral("Source character set:")));
  EXPECT_TRUE(labels.contains(QStringLiteral("Destination character set:")));
  for (int id : {kIdSourcePath, kIdDestinationPath}) {
    EXPECT_TRUE(Get<QLineEdit>(id)->isReadOnly());
    EXPECT_TRUE(Get<QLineEdit>(id)->text().isEmpty());
  }
  for (int id : {kIdSourceList, kIdDestinationList}) {
    EXPECT_EQ(List(id)->count(), 62);
    EXPECT_EQ(List(id)->currentIndex(), -1) << "no selection at start";
  }
  EXPECT_EQ(List(kIdLineBreakList)->count(), 4);
  EXPECT_EQ(Selected(kIdLineBreakList), QStringLiteral("Do not change"));
}

TEST_F(MainDialog, TabOrderIsTheTemplateOrder) {
  const std::vector<int> expected = {kIdConvert,    kIdCancel,       kIdSourceList,      kIdDestinationList,
                                     kIdSourcePath, kIdSourceButton, kIdDestinationPath, kIdDestinationButton,
                                     kIdNoBom,      kIdModifyXml,    kIdModifyHtml,      kIdLineBreakList};
  std::vector<int> order;
  QWidget* widget = Get(kIdConvert);
  do {
    if (widget->focusPolicy() & Qt::TabFocus) order.push_back(widget->objectName().toInt());
    widget = widget->nextInFocusChain();
  } while (widget != Get(kIdConvert) && order.size() < 40);
  order.erase(std::remove(order.begin(), order.end(), 0), order.end());
  EXPECT_EQ(order, expected);
}

// Positions come from dialog units; what matters is the arrangement they give.
TEST_F(MainDialog, ControlsSitWhereTheTemplatePutsThem) {
  dialog_->show();
  const DialogUnits& u = dialog_->Units();
  EXPECT_EQ(dialog_->width(), u.X(242));
  EXPECT_EQ(Get(kIdSourcePath)->geometry(), u.Rect(7, 33, 204, 12));
  EXPECT_EQ(Get(kIdDestinationButton)->geometry(), u.Rect(219, 74, 16, 14));
  // The buttons keep their distance from the bottom edge of the 228-unit client area.
  EXPECT_EQ(dialog_->height() - Get(kIdConvert)->geometry().bottom() - 1, u.Y(228) - u.Y(207) - u.Y(14));
  for (int id : {kIdNoBom, kIdModifyXml, kIdModifyHtml}) {
    EXPECT_TRUE(Get(kIdOptionsGroup)->geometry().contains(Get(id)->geometry())) << id;
  }
  EXPECT_TRUE(Get(kIdFiletypeGroup)->geometry().contains(Get(kIdLineBreakList)->geometry()));
  EXPECT_LT(Get(kIdSourceList)->geometry().bottom(), Get(kIdSourcePath)->geometry().top()) << "lists overlap edits";
  EXPECT_LT(Get(kIdDestinationList)->geometry().bottom(), Get(kIdDestinationPath)->geometry().top());
  for (QWidget* child : dialog_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    EXPECT_TRUE(dialog_->rect().contains(child->geometry())) << child->objectName().toStdString();
  }
}

TEST_F(MainDialog, WideningBy100StretchesAndMovesTheRightControls) {
  dialog_->show();
  std::map<int, QRect> before;
  for (const ControlLayout& entry : kMainDialogLayout) {
    if (entry.controlId != 0)
      before[static_cast<int>(entry.controlId)] = Get(static_cast<int>(entry.controlId))->geometry();
  }
  dialog_->resize(dialog_->width() + 100, dialog_->height());
  for (int id : {kIdSourceList, kIdDestinationList, kIdSourcePath, kIdDestinationPath, kIdOptionsGroup,
                 kIdFiletypeGroup, kIdLineBreakNote}) {
    EXPECT_EQ(Get(id)->geometry(), before[id].adjusted(0, 0, 100, 0)) << "should widen: " << id;
  }
  for (int id : {kIdSourceButton, kIdDestinationButton, kIdConvert, kIdCancel}) {
    EXPECT_EQ(Get(id)->geometry(), before[id].translated(100, 0)) << "should move: " << id;
  }
  for (int id : {kIdNoBom, kIdModifyXml, kIdModifyHtml, kIdLineBreakList}) {
    EXPECT_EQ(Get(id)->geometry(), before[id]) << "should stay: " << id;
  }
}

// A drop-down list's template height includes its opened list: the popup ends where that height
// ends, filled to the last whole entry, instead of running down the screen.
TEST_F(MainDialog, ListsOpenToTheTemplatesHeight) {
  dialog_->show();
  for (const auto& [id, openedUnits] : {std::pair{kIdSourceList, 103}, {kIdDestinationList, 97}}) {
    QComboBox* list = List(id);
    list->showPopup();
    const int popupBottom = list->view()->window()->geometry().bottom() + 1;
    const int templateBottom = list->mapToGlobal(QPoint(0, 0)).y() + dialog_->Units().Y(openedUnits);
    EXPECT_LE(popupBottom, templateBottom) << id;
    EXPECT_GT(popupBottom, templateBottom - list->view()->sizeHintForRow(0)) << id;
    list->hidePopup();
  }
}

// The limits hold for the whole window, frame included (the offscreen platform draws a thin one).
TEST_F(MainDialog, CannotBeNarrowerThan300NorOtherThan400High) {
  dialog_->show();
  dialog_->resize(120, 700);
  EXPECT_EQ(dialog_->frameGeometry().width(), 300);
  EXPECT_EQ(dialog_->frameGeometry().height(), 400);
  dialog_->resize(900, 200);
  EXPECT_EQ(dialog_->width(), 900);
  EXPECT_EQ(dialog_->frameGeometry().height(), 400);
}

TEST_F(MainDialog, ChoosingAUtf16SourceProposesTheDestinationAndTheDetectedSet) {
  const std::string source = Write("letter.txt", std::string("\xFF\xFEh\0i\0", 6));
  ChooseSource(source);
  ASSERT_EQ(requests_.size(), 1u);
  EXPECT_EQ(requests_[0].kind, CMainDialog::Chooser::Source);
  EXPECT_EQ(requests_[0].title, QStringLiteral("Please select a source text document to convert"));
  EXPECT_EQ(requests_[0].nameFilters, QStringList{QStringLiteral("All files (*)")});
  EXPECT_EQ(Get<QLineEdit>(kIdSourcePath)->text().toStdString(), source);
  EXPECT_EQ(Get<QLineEdit>(kIdDestinationPath)->text().toStdString(), (directory_ / "letter.2.txt").string());
  EXPECT_EQ(Selected(kIdSourceList), kUtf16);
  EXPECT_EQ(Selected(kIdDestinationList), kUtf16);
  EXPECT_TRUE(Get(kIdConvert)->isEnabled());
}

// morfex --dialog FILE: the file given at the start is taken as a choice would take it, and
// Convert hands it over unless another source is chosen.
TEST_F(MainDialog, ASourceGivenAtTheStartIsTakenAsIfChosen) {
  RunSettings options;
  options.sources = {std::filesystem::path(Write("letter.txt", std::string("\xFF\xFEh\0i\0", 6))).u16string()};
  EXPECT_EQ(RunDoing(options,
                     [this] {
                       EXPECT_EQ(Get<QLineEdit>(kIdDestinationPath)->text().toStdString(),
                                 (directory_ / "letter.2.txt").string());
                       EXPECT_EQ(Selected(kIdSourceList), kUtf16);
                       EXPECT_EQ(Selected(kIdDestinationList), kUtf16);
                       Click(kIdConvert);
                     }),
            kDialogConvert);
  EXPECT_TRUE(requests_.empty()) << "no chooser was needed";
  EXPECT_EQ(options.sources, std::vector<std::u16string>{std::filesystem::path(directory_ / "letter.txt").u16string()});
  EXPECT_EQ(options.outputPath, std::filesystem::path(directory_ / "letter.2.txt").u16string());
  EXPECT_EQ(options.sourceCharsetName, u"UTF-16");
}

TEST_F(MainDialog, ABigEndianSourceSelectsUtf16BeInBothLists) {
  ChooseSource(Write("be", std::string("\xFE\xFF\0h\0i", 6)));
  EXPECT_EQ(Selected(kIdSourceList), kUtf16Be);
  EXPECT_EQ(Selected(kIdDestinationList), kUtf16Be);
  EXPECT_EQ(Get<QLineEdit>(kIdDestinationPath)->text().toStdString(), (directory_ / "be.2").string());
}

// Where the byte rules fall back to ISO-8859-1, the statistical model's confident answer.
TEST_F(MainDialog, ALegacySourceProposesTheSetItLooksLike) {
  const struct {
    const char* bytes;
    const char* proposed;
  } cases[] = {
      // "Съешь же ещё этих мягких французских булок" in Windows-1251
      {"\xD1\xFA\xE5\xF8\xFC \xE6\xE5 \xE5\xF9\xB8 \xFD\xF2\xE8\xF5 \xEC\xFF\xE3\xEA\xE8\xF5 "
       "\xF4\xF0\xE0\xED\xF6\xF3\xE7\xF1\xEA\xE8\xF5 \xE1\xF3\xEB\xEE\xEA",
       "Windows-1251 ("},
      {"Le caf\xE9 "
       "est d\xE9j\xE0 pr\xEAt, na\xEFve id\xE9"
       "e.",
       "ISO-8859-1 ("},
  };
  for (const auto& c : cases) {
    ChooseSource(Write("legacy.txt", c.bytes));
    EXPECT_TRUE(Selected(kIdSourceList).startsWith(QString::fromLatin1(c.proposed))) << c.proposed;
    EXPECT_TRUE(Selected(kIdDestinationList).startsWith(QString::fromLatin1(c.proposed))) << c.proposed;
  }
}

TEST_F(MainDialog, AMissingSourceIsAcceptedAndProposesWindows1252) {
  ChooseSource((directory_ / "typed-name.txt").string());
  EXPECT_TRUE(Selected(kIdSourceList).startsWith(QStringLiteral("Windows-1252 (")));
  EXPECT_TRUE(Selected(kIdDestinationList).startsWith(QStringLiteral("Windows-1252 (")));
}

TEST_F(MainDialog, ANewSourceReplacesTheChosenDestinationAndStartsFromTheOldPath) {
  const std::string first = Write("a.txt", "abc");
  ChooseSource(first);
  answers_.push_back(QString::fromStdString((directory_ / "elsewhere.out").string()));
  Click(kIdDestinationButton);
  EXPECT_EQ(Get<QLineEdit>(kIdDestinationPath)->text().toStdString(), (directory_ / "elsewhere.out").string());
  ChooseSource(Write("b.htm", "abc"));
  EXPECT_EQ(requests_.back().selectedPath.toStdString(), first);
  EXPECT_EQ(Get<QLineEdit>(kIdDestinationPath)->text().toStdString(), (directory_ / "b.2.htm").string());
}

TEST_F(MainDialog, TheDestinationChooserGetsTitleSuffixAndCurrentPath) {
  ChooseSource(Write("letter.txt", "abc"));
  Click(kIdDestinationButton);  // cancelled: nothing changes
  ASSERT_EQ(requests_.size(), 2u);
  const auto& request = requests_[1];
  EXPECT_EQ(request.kind, CMainDialog::Chooser::Destination);
  EXPECT_EQ(request.title, QStringLiteral("Please select a name for destination text document"));
  EXPECT_EQ(request.defaultSuffix, QStringLiteral("txt"));
  EXPECT_EQ(request.selectedPath.toStdString(), (directory_ / "letter.2.txt").string());
  EXPECT_EQ(Get<QLineEdit>(kIdDestinationPath)->text().toStdString(), (directory_ / "letter.2.txt").string());
}

TEST_F(MainDialog, ACancelledSourceChooserChangesNothing) {
  Click(kIdSourceButton);
  EXPECT_EQ(requests_.size(), 1u);
  EXPECT_TRUE(Get<QLineEdit>(kIdSourcePath)->text().isEmpty());
  EXPECT_EQ(List(kIdSourceList)->currentIndex(), -1);
  EXPECT_FALSE(Get(kIdConvert)->isEnabled());
}

TEST_F(MainDialog, ConvertNeedsADestinationSetAndASourceSet) {
  ChooseSource(Write("a.txt", "abc"));
  ASSERT_TRUE(Get(kIdConvert)->isEnabled());
  List(kIdDestinationList)->setCurrentIndex(-1);
  EXPECT_FALSE(Get(kIdConvert)->isEnabled()) << "both paths filled, no destination set";
  List(kIdDestinationList)->setCurrentIndex(3);
  EXPECT_TRUE(Get(kIdConvert)->isEnabled());
  List(kIdSourceList)->setCurrentIndex(-1);
  EXPECT_FALSE(Get(kIdConvert)->isEnabled());
}

TEST_F(MainDialog, FiltersTxtInTheCurrentDirectoryReachesBothChoosers) {
  Write("filters.txt", "Text|*.txt\r\nHTML|*.htm;*.html\r\n");
  CMainDialog dialog;
  std::vector<QStringList> offered;
  dialog.SetFileChooser([&](const CMainDialog::ChooserRequest& request) -> std::optional<QString> {
    offered.push_back(request.nameFilters);
    return std::nullopt;
  });
  QTest::mouseClick(static_cast<QPushButton*>(dialog.Control(kIdSourceButton)), Qt::LeftButton);
  QTest::mouseClick(static_cast<QPushButton*>(dialog.Control(kIdDestinationButton)), Qt::LeftButton);
  const QStringList expected = {QStringLiteral("Text (*.txt)"), QStringLiteral("HTML (*.htm *.html)"),
                                QStringLiteral("All files (*)")};
  EXPECT_EQ(offered, (std::vector<QStringList>{expected, expected}));
}

TEST_F(MainDialog, ConvertFillsTheOptionsFromTheControls) {
  ChooseSource(Write("page.html", "abc"));
  List(kIdDestinationList)->setCurrentIndex(List(kIdDestinationList)->findText(kUtf16Be));
  List(kIdLineBreakList)->setCurrentIndex(2);
  QTest::mouseClick(Get<QCheckBox>(kIdNoBom), Qt::LeftButton);
  QTest::mouseClick(Get<QCheckBox>(kIdModifyHtml), Qt::LeftButton);
  RunSettings options;
  EXPECT_EQ(RunDoing(options, [this] { Click(kIdConvert); }), kDialogConvert);
  EXPECT_EQ(options.sources, std::vector<std::u16string>{std::filesystem::path(directory_ / "page.html").u16string()});
  EXPECT_EQ(options.outputPath, std::filesystem::path(directory_ / "page.2.html").u16string());
  EXPECT_EQ(options.sourceCharsetName, u"ISO-8859-1");
  EXPECT_EQ(options.destinationCharsetName, u"UTF-16BE");
  EXPECT_EQ(options.conversion.lineBreakType, 2) << "UNIX";
  EXPECT_FALSE(options.conversion.writeBom);
  EXPECT_FALSE(options.conversion.modifyXml);
  EXPECT_TRUE(options.conversion.modifyHtml);
}

TEST_F(MainDialog, CancelCloseAndEscapeLeaveTheOptionsAlone) {
  ChooseSource(Write("a.txt", "abc"));
  const std::vector<std::pair<const char*, std::function<void()>>> endings = {
      {"Cancel", [this] { Click(kIdCancel); }},
      {"close box", [this] { dialog_->close(); }},
      {"Escape", [this] { QTest::keyClick(dialog_.get(), Qt::Key_Escape); }},
  };
  for (const auto& [name, ending] : endings) {
    RunSettings options;
    EXPECT_EQ(RunDoing(options, ending), kDialogCancel) << name;
    EXPECT_TRUE(options.sources.empty()) << name;
    EXPECT_EQ(options.destinationCharsetName, u"utf-8") << name;
  }
}

}  // namespace
}  // namespace glyphshift::ui
