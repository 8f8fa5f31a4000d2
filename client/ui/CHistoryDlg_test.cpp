// The history window over a running server: its rows, getting and opening a
// version, and comparisons of text in the client's window and of other documents
// by the compare program, each leaving no fetched copy behind once closed.
#include "client/ui/CHistoryDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTreeWidget>
#include <filesystem>
#include <string>
#include <vector>

#include "client/ui/CCompareDlg.h"
#include "client/ui/CListViewEx.h"
#include "client/ui/ExternalLaunch.h"
#include "client/ui/ModalRunner.h"
#include "common/ui/CChooseDirectoryDlg.h"
#include "common/ui/CDirectoryTree.h"
#include "platform/fs.h"
#include "platform/ui/QtTestApplication.h"
#include "platform/ui/ScriptedNotifier.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;
namespace fs = platform::fs;
namespace stdfs = std::filesystem;
using SideKind = SideBySideDiff::Kind;

const std::string kText = "notes.txt";
const std::string kPicture = "plan.png";
const std::vector<std::string> kTextVersions = {"alpha\nbeta\ngamma\n", "alpha\nbeta\ngamma\n\n",
                                                "alpha\nBETA\ngamma\ndelta\n"};
const std::vector<std::string> kPictureVersions = {std::string("\x89PNG\0one", 8), std::string("\x89PNG\0two", 8)};

class CHistoryDlgTest : public ClientLibraryTest {
 protected:
  struct Launch {
    std::string program;
    std::vector<std::string> arguments;
    std::vector<std::string> contents;   // of the files named, when they were handed over
  };

  void SetUp() override {
    ClientLibraryTest::SetUp();
    notifier_ = std::make_unique<platform::ui::ScriptedNotifier>();
    ModalRunner::SetScripted(true);
    ExternalLaunch::SetHandlerForTesting([this](const std::string& program, const std::vector<std::string>& args) {
      Launch launch{program, args, {}};
      for (const std::string& path : args) launch.contents.push_back(platform::ScratchFolder::Read(path));
      launches_.push_back(launch);
      return true;
    });
    plans_ = NewProject("", "Plans");
    for (const auto& [name, versions] : {std::pair{kText, kTextVersions}, std::pair{kPicture, kPictureVersions}}) {
      AddDocument(plans_, name, versions[0]);
      for (std::size_t v = 1; v < versions.size(); ++v) AddVersion(plans_, name, versions[v], "change " + std::to_string(v));
    }
    doc_ = OpenReady("0");
    ASSERT_NE(doc_, nullptr);
    ASSERT_TRUE(PassUntil([&] { return doc_->GetProjectTree().FindProjectByPath(plans_) != nullptr; }));
    local_ = doc_->GetProjectTree().FindProjectByPath(plans_)->GetLocalFolder();
  }
  void TearDown() override {
    ExternalLaunch::SetHandlerForTesting(nullptr);
    ModalRunner::SetScripted(false);
    notifier_.reset();
    ClientLibraryTest::TearDown();
  }

  // The history of `name` as the server lists it: versions newest first, the newest held by bob.
  CHistoryDlg::Subject Subject(const std::string& name, int count) {
    CHistoryDlg::Subject subject{plans_, name, local_ + "/" + name, {}};
    for (int v = count; v >= 1; --v) {
      DocumentVersionEntry entry;
      entry.SetName(name);
      entry.SetVersion(v);
      entry.SetAuthor("ann");
      entry.SetComment(v == 1 ? "" : "change " + std::to_string(v - 1));
      if (v == count) entry.SetCheckedOutTo("bob");
      subject.versions.AddVersion(entry);
    }
    return subject;
  }
  // Drives the library's passes and the event loop until `done`, for at most ten seconds.
  bool PumpUntil(const std::function<bool()>& done) {
    return WaitUntil([&] {
      app_->DoProcessing();
      QApplication::processEvents();
      return done();
    });
  }
  static void Select(CHistoryDlg& history, const std::vector<int>& versions) {
    CListViewEx& list = history.GetList();
    list.clearSelection();
    for (int r = 0; r < list.topLevelItemCount(); ++r) {
      const int version = list.topLevelItem(r)->data(0, CListViewEx::kItemDataRole).toInt();
      if (std::find(versions.begin(), versions.end(), version) != versions.end()) list.topLevelItem(r)->setSelected(true);
    }
  }
  static void Press(QDialog& dialog, CHistoryDlg::Button button) {
    dialog.findChild<QPushButton*>(QString::number(button))->click();
  }
  // The fetched copies' folders present now.
  std::size_t CopyFolders() const {
    const std::string copies = work_ + "/TemporaryFiles/Copies";
    if (!stdfs::exists(copies)) return 0;
    return static_cast<std::size_t>(std::distance(stdfs::directory_iterator(copies), stdfs::directory_iterator()));
  }
  std::vector<std::string> Warnings() const {
    std::vector<std::string> texts;
    for (const platform::Notification& n : notifier_->Received()) texts.push_back(n.text);
    return texts;
  }

  std::unique_ptr<platform::ui::ScriptedNotifier> notifier_;
  std::vector<Launch> launches_;
  std::string plans_;
  std::string local_;
  CBrannockDoc* doc_ = nullptr;
};

TEST_F(CHistoryDlgTest, EveryVersionIsARowNewestFirstWithItsAuthorCommentAndHolder) {
  CHistoryDlg history(*doc_, Subject(kText, 3));
  history.show();
  const CListViewEx& list = history.GetList();
  ASSERT_EQ(list.topLevelItemCount(), 3);
  const std::vector<std::vector<std::string>> expected = {
      {"3", "ann", "change 2", "bob"}, {"2", "ann", "change 1", ""}, {"1", "ann", "", ""}};
  for (int r = 0; r < 3; ++r) {
    const QTreeWidgetItem& item = *list.topLevelItem(r);
    EXPECT_EQ((std::vector<std::string>{item.text(0).toStdString(), item.text(2).toStdString(),
                                        item.text(4).toStdString(), item.text(5).toStdString()}),
              expected[static_cast<std::size_t>(r)]);
  }
  EXPECT_EQ(list.currentItem(), list.topLevelItem(0)) << "the newest version is highlighted";
  EXPECT_EQ(history.windowTitle(), "History of notes.txt");
}

TEST_F(CHistoryDlgTest, TwoTextVersionsAreComparedSideBySideAndTheirCopiesGoWithTheWindow) {
  bool compared = false;
  std::vector<std::vector<std::string>> rows;
  std::vector<bool> marked;
  std::size_t foldersWhileShown = 0;
  ModalRunner::QueueDialog(
      [&](QDialog& dialog) {
        auto& history = static_cast<CHistoryDlg&>(dialog);
        Select(history, {3, 1});
        Press(history, CHistoryDlg::kCompare);
        EXPECT_TRUE(PumpUntil([&] { return compared; }));
        history.Dismiss();
      },
      "CHistoryDlg");
  ModalRunner::QueueDialog(
      [&](QDialog& dialog) {
        const auto* view = dialog.findChild<QTreeWidget*>("1001");
        for (int r = 0; r < view->topLevelItemCount(); ++r) {
          const QTreeWidgetItem& item = *view->topLevelItem(r);
          rows.push_back({item.text(0).toStdString(), item.text(1).toStdString(), item.text(2).toStdString(),
                          item.text(3).toStdString()});
          marked.push_back(item.background(CCompareDlg::kLeftText).color() != QColor() &&
                           item.background(CCompareDlg::kLeftText).style() != Qt::NoBrush);
        }
        EXPECT_EQ(static_cast<CCompareDlg&>(dialog).GetDifferenceCount(), 2);
        EXPECT_EQ(view->headerItem()->text(CCompareDlg::kRightText), "Version 3");
        foldersWhileShown = CopyFolders();
        compared = true;
        dialog.reject();
      },
      "CCompareDlg");
  CHistoryDlg history(*doc_, Subject(kText, 3));
  ModalRunner::Exec(history);

  EXPECT_TRUE(compared);
  const std::vector<std::vector<std::string>> expected = {
      {"1", "alpha", "1", "alpha"}, {"2", "beta", "2", "BETA"}, {"3", "gamma", "3", "gamma"}, {"", "", "4", "delta"}};
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(marked, (std::vector<bool>{false, true, false, true}));
  EXPECT_EQ(foldersWhileShown, 2u);
  EXPECT_EQ(CopyFolders(), 0u) << "the compared copies are removed with the window";
  EXPECT_TRUE(Warnings().empty());
  EXPECT_TRUE(ModalRunner::Unscripted().empty());
}

TEST_F(CHistoryDlgTest, OtherDocumentsGoToTheCompareProgramAndRefusalsNameWhatIsMissing) {
  {
    platform::CriticalSection::Lock lock(app_->GetProfileLock());
    app_->GetCurrentUser()->SetCompareProgram("/opt/compare --side-by-side");
  }
  std::size_t foldersWhileOpen = 0;
  ModalRunner::QueueDialog(
      [&](QDialog& dialog) {
        auto& history = static_cast<CHistoryDlg&>(dialog);
        Select(history, {1});
        Press(history, CHistoryDlg::kCompare);   // one version: refused
        Press(history, CHistoryDlg::kCompareLocal);   // no local copy: refused
        Select(history, {2, 1});
        Press(history, CHistoryDlg::kCompare);
        EXPECT_TRUE(PumpUntil([&] { return !launches_.empty(); }));
        foldersWhileOpen = CopyFolders();
        history.Dismiss();
      },
      "CHistoryDlg");
  CHistoryDlg history(*doc_, Subject(kPicture, 2));
  ModalRunner::Exec(history);

  EXPECT_EQ(Warnings(), (std::vector<std::string>{ComparePlan::kChooseTwoVersions,
                                                  ComparePlan::kNoLocalCopy + local_ + "/" + kPicture}));
  ASSERT_EQ(launches_.size(), 1u);
  EXPECT_EQ(launches_[0].program, "/opt/compare");
  ASSERT_EQ(launches_[0].arguments.size(), 3u);
  EXPECT_EQ(launches_[0].arguments[0], "--side-by-side");
  EXPECT_EQ(launches_[0].contents[1], kPictureVersions[0]) << "the older version on the left";
  EXPECT_EQ(launches_[0].contents[2], kPictureVersions[1]);
  EXPECT_EQ(foldersWhileOpen, 2u) << "the program's copies stay while the history is open";
  EXPECT_EQ(CopyFolders(), 0u);
}

TEST_F(CHistoryDlgTest, AVersionIsGotIntoAChosenFolderAfterAskingAndOpenedAsAReadOnlyCopy) {
  const std::string chosen = folder_ / "chosen";
  ASSERT_TRUE(fs::CreateFolder(chosen));
  folder_.Put("chosen/" + kText, "mine");
  const auto choose = [&](QDialog& shown) {
    auto* tree = shown.findChild<CDirectoryTree*>();
    tree->DisplayPath(chosen);
    emit tree->PathChanged();
    shown.accept();
  };
  ModalRunner::QueueDialog(
      [&](QDialog& dialog) {
        auto& history = static_cast<CHistoryDlg&>(dialog);
        Select(history, {2});
        notifier_->QueueAnswer(platform::NotifyAnswer::No);
        ModalRunner::QueueDialog(choose);
        Press(history, CHistoryDlg::kGet);   // the file there is kept
        notifier_->QueueAnswer(platform::NotifyAnswer::Yes);
        ModalRunner::QueueDialog(choose);
        Press(history, CHistoryDlg::kGet);
        EXPECT_TRUE(PumpUntil([&] { return history.GetStatus().contains("was put in"); }));
        Select(history, {1});
        Press(history, CHistoryDlg::kOpen);
        EXPECT_TRUE(PumpUntil([&] { return !launches_.empty(); }));
        history.Dismiss();
      },
      "CHistoryDlg");
  CHistoryDlg history(*doc_, Subject(kText, 3));
  ModalRunner::Exec(history);

  const std::vector<platform::Notification> asked = notifier_->Received();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].text, CHistoryDlg::kReplaceQuestion + chosen + "/" + kText);
  EXPECT_EQ(platform::ScratchFolder::Read(chosen + "/" + kText), kTextVersions[1]);
  EXPECT_TRUE(fs::IsReadOnly(chosen + "/" + kText));
  ASSERT_EQ(launches_.size(), 1u);
  EXPECT_EQ(launches_[0].program, "");
  EXPECT_EQ(launches_[0].contents, std::vector<std::string>{kTextVersions[0]});
  EXPECT_FALSE(fs::Exists(launches_[0].arguments[0])) << "the opened copy goes with the window";
}

}  // namespace
