// The history window over a running server: its rows, and comparisons in the
// client's window and by the compare program, each leaving no fetched copy behind
// once closed.
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
#include "platform/fs.h"
#include "platform/ui/QtTestApplication.h"
#include "platform/ui/ScriptedNotifier.h"
#include "testsupport/ClientLibraryTest.h"

namespace {

using namespace client_test;
namespace stdfs = std::filesystem;

const std::string kText = "notes.txt";
const std::string kPicture = "plan.png";
const std::vector<std::string> kTexts = {"alpha\nbeta\ngamma\n", "alpha\nbeta\ngamma\n\n", "alpha\nBETA\ngamma\ndelta\n"};
const std::vector<std::string> kPictures = {std::string("\x89PNG\0one", 8), std::string("\x89PNG\0two", 8)};

class CHistoryDlgTest : public ClientLibraryTest {
 protected:
  void SetUp() override {
    ClientLibraryTest::SetUp();
    notifier_ = std::make_unique<platform::ui::ScriptedNotifier>();
    ModalRunner::SetScripted(true);
    // Each launch as the program and its arguments, a file's content in place of its path.
    ExternalLaunch::SetHandlerForTesting([this](const std::string& program, const std::vector<std::string>& args) {
      std::vector<std::string> launch{program};
      for (const std::string& arg : args) {
        launch.push_back(platform::fs::IsFile(arg) ? platform::ScratchFolder::Read(arg) : arg);
      }
      launches_.push_back(launch);
      return true;
    });
    plans_ = NewProject("", "Plans");
    for (const auto& [name, versions] : {std::pair{kText, kTexts}, std::pair{kPicture, kPictures}}) {
      AddDocument(plans_, name, versions[0]);
      for (std::size_t v = 1; v < versions.size(); ++v) AddVersion(plans_, name, versions[v], "change");
    }
    doc_ = OpenReady("0");
    ASSERT_NE(doc_, nullptr);
    ASSERT_TRUE(PassUntil([&] { return doc_->GetProjectTree().FindProjectByPath(plans_) != nullptr; }));
  }
  void TearDown() override {
    ExternalLaunch::SetHandlerForTesting(nullptr);
    ModalRunner::SetScripted(false);
    notifier_.reset();
    ClientLibraryTest::TearDown();
  }

  // Runs the history of `name` (versions newest first, the newest held by bob) with `script`.
  void RunHistory(const std::string& name, int count, const std::function<void(CHistoryDlg&)>& script) {
    const std::string local = doc_->GetProjectTree().FindProjectByPath(plans_)->GetLocalFolder() + "/" + name;
    CHistoryDlg::Subject subject{plans_, name, local, {}};
    for (int v = count; v >= 1; --v) {
      DocumentVersionEntry entry;
      entry.SetVersion(v);
      entry.SetAuthor("ann");
      entry.SetCheckedOutTo(v == count ? "bob" : "");
      subject.versions.AddVersion(entry);
    }
    ModalRunner::QueueDialog([&](QDialog& dialog) { script(static_cast<CHistoryDlg&>(dialog)); }, "CHistoryDlg");
    CHistoryDlg history(*doc_, subject);
    ModalRunner::Exec(history);
  }
  // Drives the library's passes and the event loop until `done`, for at most ten seconds.
  bool PumpUntil(const std::function<bool()>& done) {
    return WaitUntil([&] {
      app_->DoProcessing();
      QApplication::processEvents();
      return done();
    });
  }
  // Selects the rows of `versions` and presses `button`.
  static void Press(CHistoryDlg& history, const std::vector<int>& versions, CHistoryDlg::Button button) {
    CListViewEx& list = history.GetList();
    list.clearSelection();
    for (int r = 0; r < list.topLevelItemCount(); ++r) {
      const int version = list.topLevelItem(r)->data(0, CListViewEx::kItemDataRole).toInt();
      list.topLevelItem(r)->setSelected(std::find(versions.begin(), versions.end(), version) != versions.end());
    }
    history.findChild<QPushButton*>(QString::number(button))->click();
  }
  std::size_t CopyFolders() const {
    const std::string copies = work_ + "/TemporaryFiles/Copies";
    return stdfs::exists(copies) ? static_cast<std::size_t>(std::distance(stdfs::directory_iterator(copies), {})) : 0;
  }

  std::unique_ptr<platform::ui::ScriptedNotifier> notifier_;
  std::vector<std::vector<std::string>> launches_;
  std::string plans_;
  CBrannockDoc* doc_ = nullptr;
};

TEST_F(CHistoryDlgTest, EveryVersionIsARowNewestFirstWithItsAuthorAndHolder) {
  std::vector<std::vector<std::string>> rows;
  RunHistory(kText, 3, [&](CHistoryDlg& history) {
    for (int r = 0; r < history.GetList().topLevelItemCount(); ++r) {
      const QTreeWidgetItem& item = *history.GetList().topLevelItem(r);
      rows.push_back({item.text(0).toStdString(), item.text(2).toStdString(), item.text(5).toStdString()});
    }
    EXPECT_EQ(history.GetList().currentItem(), history.GetList().topLevelItem(0)) << "the newest is highlighted";
    history.Dismiss();
  });
  EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{{"3", "ann", "bob"}, {"2", "ann", ""}, {"1", "ann", ""}}));
}

TEST_F(CHistoryDlgTest, TwoTextVersionsAreComparedSideBySideAndTheirCopiesGoWithTheWindow) {
  std::vector<std::vector<std::string>> rows;   // the four cells, then "*" for a marked row
  std::size_t foldersWhileShown = 0;
  RunHistory(kText, 3, [&](CHistoryDlg& history) {
    ModalRunner::QueueDialog(
        [&](QDialog& dialog) {
          const auto* view = dialog.findChild<QTreeWidget*>("1001");
          for (int r = 0; r < view->topLevelItemCount(); ++r) {
            const QTreeWidgetItem& item = *view->topLevelItem(r);
            rows.push_back({item.text(0).toStdString(), item.text(1).toStdString(), item.text(2).toStdString(),
                            item.text(3).toStdString(),
                            item.background(CCompareDlg::kRightText).style() == Qt::NoBrush ? "" : "*"});
          }
          foldersWhileShown = CopyFolders();
          dialog.reject();
        },
        "CCompareDlg");
    Press(history, {3, 1}, CHistoryDlg::kCompare);
    EXPECT_TRUE(PumpUntil([&] { return !rows.empty(); }));
    history.Dismiss();
  });
  EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{{"1", "alpha", "1", "alpha", ""},
                                                         {"2", "beta", "2", "BETA", "*"},
                                                         {"3", "gamma", "3", "gamma", ""},
                                                         {"", "", "4", "delta", "*"}}));
  EXPECT_EQ(foldersWhileShown, 2u);
  EXPECT_EQ(CopyFolders(), 0u) << "the compared copies go with the window";
  EXPECT_TRUE(notifier_->Received().empty());
}

TEST_F(CHistoryDlgTest, OtherDocumentsGoToTheCompareProgramOlderFirstAndAMissingLocalCopyIsNamed) {
  {
    platform::CriticalSection::Lock lock(app_->GetProfileLock());
    app_->GetCurrentUser()->SetCompareProgram("/opt/compare --side-by-side");
  }
  std::size_t foldersWhileOpen = 0;
  std::string local;
  RunHistory(kPicture, 2, [&](CHistoryDlg& history) {
    Press(history, {1}, CHistoryDlg::kCompareLocal);
    Press(history, {2, 1}, CHistoryDlg::kCompare);
    EXPECT_TRUE(PumpUntil([&] { return !launches_.empty(); }));
    foldersWhileOpen = CopyFolders();
    history.Dismiss();
  });
  const std::string missing = doc_->GetProjectTree().FindProjectByPath(plans_)->GetLocalFolder() + "/" + kPicture;
  ASSERT_EQ(notifier_->Received().size(), 1u);
  EXPECT_EQ(notifier_->Received()[0].text, ComparePlan::kNoLocalCopy + missing);
  EXPECT_EQ(launches_, (std::vector<std::vector<std::string>>{{"/opt/compare", "--side-by-side", kPictures[0], kPictures[1]}}))
      << "the program's own argument, then the older version";
  EXPECT_EQ(foldersWhileOpen, 2u) << "the program's copies stay while the history is open";
  EXPECT_EQ(CopyFolders(), 0u);
}

}  // namespace
