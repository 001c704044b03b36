// Start-up arguments, the platform hooks and the help.

#include <QKeyEvent>
#include <thread>

#include "AppTestSupport.h"
#include "app/AppPlatform.h"
#include "app/DesktopProgram.h"
#include "app/Help.h"
#include "app/Texts.h"
#include "core/storage/Platform.h"
#include "project/settings/TextIds.h"

namespace orvane::app::test {
namespace {

TEST(StartUpTest, ProjectFromTheCommandLineOrTheFolderChooser) {
  FakeDialogs dialogs;
  auto parsed = ParseProgramArguments({"orvane", "Demo^/data/demo"});
  ASSERT_TRUE(parsed.Error.isEmpty());
  EXPECT_EQ(ProjectToOpen(parsed, dialogs), "Demo^/data/demo");

  parsed = ParseProgramArguments({"orvane"});
  EXPECT_EQ(ProjectToOpen(parsed, dialogs), std::nullopt);  // chooser cancelled
  dialogs.Folder = "/data/chosen";
  EXPECT_EQ(ProjectToOpen(parsed, dialogs), "/data/chosen");

  parsed = ParseProgramArguments({"orvane", "P^/f", "--screenshot", "/shots"});
  EXPECT_EQ(parsed.ScreenshotFolder, "/shots");
  EXPECT_FALSE(ParseProgramArguments({"orvane", "P^/f", "--screenshot"}).Error.isEmpty());
  EXPECT_FALSE(ParseProgramArguments({"orvane", "--screenshot", "/s"}).Error.isEmpty());
  EXPECT_FALSE(ParseProgramArguments({"orvane", "a", "b"}).Error.isEmpty());
}

TEST(PlatformHooksTest, EscHeldDownAndMessagesFromWorkQueuedToTheWindowThread) {
  FakeDialogs dialogs;
  EscapeKeyWatcher watcher;
  InstallPlatformHooks(watcher, dialogs);
  QWidget target;
  auto send = [&](QEvent::Type type, bool autoRepeat) {
    QKeyEvent key(type, Qt::Key_Escape, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(&target, &key);
  };
  EXPECT_FALSE(EscapeKeyDown());
  send(QEvent::KeyPress, false);
  EXPECT_TRUE(EscapeKeyDown());
  send(QEvent::KeyRelease, true);  // X11's auto-repeat of a held key
  EXPECT_TRUE(EscapeKeyDown());
  send(QEvent::KeyRelease, false);
  EXPECT_FALSE(EscapeKeyDown());
  send(QEvent::KeyPress, false);
  QEvent deactivate(QEvent::ApplicationDeactivate);
  QApplication::sendEvent(qApp, &deactivate);
  EXPECT_FALSE(EscapeKeyDown());  // the release would go to another program

  std::thread([] { ShowMessage("from the work"); }).join();
  EXPECT_TRUE(dialogs.Messages.isEmpty());  // never shown from inside the work
  QApplication::processEvents();
  EXPECT_EQ(dialogs.Messages, QStringList{"from the work"});
  ShowMessage("from the window");
  EXPECT_EQ(dialogs.Messages.size(), 2);
  EXPECT_EQ(TempFolder().back(), '/');
  RemovePlatformHooks();
}

TEST(HelpTest, EachContextOpensItsPageInBothLanguagesAndAMissingFileIsAMessage) {
  LoadShippedTexts();
  FakeDialogs dialogs;
  for (const char* language : {"en", "es"}) {
    Project().HelpFilePath = HelpFilePathFor(ORVANE_APP_DIR, language).string();
    for (int context : {kExplorerHelp, kOperationsHelp, kColouringHelp}) {
      OpenHelp(nullptr, dialogs, context);
      ASSERT_FALSE(dialogs.HelpPages.empty());
      const fs::path page = dialogs.HelpPages.back().toLocalFile().toStdString();
      EXPECT_EQ(page.filename(), std::to_string(context) + ".html") << language;
      EXPECT_EQ(page.parent_path().filename(), std::string("Orvane_") + language);
      const std::string html = Slurp(page);
      EXPECT_NE(html.find("<h1>"), std::string::npos) << page;
      EXPECT_NE(html.find("lang=\"" + std::string(language) + "\""), std::string::npos) << page;
    }
  }
  EXPECT_TRUE(dialogs.Messages.isEmpty());

  Project().HelpFilePath = "/no/such/folder/Orvane_.html";
  const size_t pages = dialogs.HelpPages.size();
  OpenHelp(nullptr, dialogs, kExplorerHelp);
  EXPECT_EQ(dialogs.HelpPages.size(), pages);
  EXPECT_EQ(dialogs.Messages,
            QStringList{Text(text::kCannotReadFile) + " /no/such/folder/Orvane_.html"});
}

}  // namespace
}  // namespace orvane::app::test
