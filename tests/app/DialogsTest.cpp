// The properties dialog, and the real dialog service's buttons.

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "AppTestSupport.h"
#include "app/PropertiesDialog.h"
#include "app/Texts.h"
#include "project/actions/Actions.h"
#include "project/settings/TextIds.h"

namespace orvane::app::test {
namespace {

TEST(PropertiesDialogTest, ShowsTheVolumeAsTheUserTypesAndTheDialogShrinksBack) {
  LoadShippedTexts();
  ProjectFolder folder;
  folder.Add(GridSurface("Other", 3, [](int, int) { return 0.0; }));
  // 10 m x 10 m at elevation 10: 1000 m3 above 0, -9000 m3 above 100.
  folder.Add(GridSurface("Flat", 11, [](int, int) { return 10.0; }));
  FakeDialogs dialogs;
  BusyGate gate;
  ExplorerWindow window(dialogs, gate);
  window.Load();
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto& list = Child<QTreeWidget>(window, "ListBox1");
  ASSERT_EQ(list.topLevelItemCount(), 2);
  QTreeWidgetItem* row = list.topLevelItem(0);
  ASSERT_EQ(row->text(0), "Flat");
  const QPoint centre = list.visualItemRect(row).center();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, centre);
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, centre);

  auto& dialog = Child<QDialog>(window, "frmStatSuperficie");
  EXPECT_TRUE(dialog.isModal());
  EXPECT_EQ(dialog.windowTitle(), Text(text::kPropertiesTitle));
  auto label = [&](int n) {
    return Child<QLabel>(dialog, ("Label" + std::to_string(n)).c_str()).text();
  };
  EXPECT_EQ(label(7), "Flat");
  EXPECT_EQ(label(8), "121");
  EXPECT_EQ(label(9), "200");
  EXPECT_EQ(label(11), Text(text::kModelValue));
  EXPECT_EQ(label(4), "X " + Text(33));
  EXPECT_EQ(label(17), "Z " + Text(34));
  EXPECT_EQ(label(12), "500000.250");
  EXPECT_EQ(label(19), "4500010.500");
  EXPECT_EQ(label(21), "1000.000 m3");
  EXPECT_EQ(label(22), "1000.000 m3");
  auto part = [&](const char* name) { return Child<QLabel>(dialog, name).text(); };
  EXPECT_EQ(part("VolumeAboveZero"), "1000.000 m3");
  EXPECT_EQ(part("VolumeBelowZero"), "0.000 m3");

  auto& base = Child<QLineEdit>(dialog, "Text1");
  QTest::keyClicks(&base, "100");
  EXPECT_EQ(label(22), "-9000.000 m3");
  EXPECT_EQ(part("VolumeAboveBase"), "0.000 m3");
  EXPECT_EQ(part("VolumeBelowBase"), "9000.000 m3");
  base.clear();
  EXPECT_EQ(label(22), "1000.000 m3");
  // A long figure widens the dialog; a short one gives the room back.
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  const int width = dialog.width();
  base.setText("-1e30");
  EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.width() > width; }, 2000));
  base.setText("1");
  EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.width() == width; }, 2000)) << dialog.width();
  base.clear();
  QTest::keyClicks(&base, "12.5 m");  // a typo gives no volume, but its message
  EXPECT_EQ(label(22),
            "\"12.5 m\" is not a number: type digits with \".\" as the decimal point "
            "(as in -2.5)");

  base.clear();
  QTest::keyClicks(&base, "1e308");
  EXPECT_EQ(label(22).toStdString(), actions::VolumeOutOfRange(1e308));

  QTest::mouseClick(&Child<QPushButton>(dialog, "cmdAceptar"), Qt::LeftButton);
  EXPECT_FALSE(dialog.isVisible());
}

// The one test of the real message box: its buttons speak the language of
// the texts. A timer armed before the box opens answers it from inside its
// event loop; anything left open afterwards is closed, so no failure hangs.
TEST(QtDialogServiceTest, YesAndNoAreLabelledInTheLanguageOfTheTexts) {
  for (const auto& [code, yesWord] : {std::pair{"es", "Sí"}, std::pair{"en", "Yes"}}) {
    QtDialogService dialogs(ButtonWordsFor(code));
    QStringList labels;
    QString title;
    QTimer::singleShot(10, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      title = box->windowTitle();
      QAbstractButton* yes = nullptr;
      for (QAbstractButton* b : box->buttons()) {
        labels << b->text();
        if (b->text() == QString::fromUtf8(yesWord)) yes = b;
      }
      if (yes != nullptr) yes->click();
    });
    const bool answer = dialogs.AskYesNo(nullptr, "?", kMessageTitle);
    if (QWidget* open = QApplication::activeModalWidget()) qobject_cast<QDialog*>(open)->reject();
    EXPECT_TRUE(answer) << code;
    EXPECT_EQ(title, "ORVANE");
    EXPECT_EQ(labels, (QStringList{QString::fromUtf8(yesWord), "No"})) << code;
  }
}

}  // namespace
}  // namespace orvane::app::test
