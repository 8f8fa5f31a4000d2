#include "client/document/OpenLibraries.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

#include "platform/Notifier.h"

namespace {

// A library whose connection state the test sets, which logs every call the pass
// makes and runs a test's action inside its pump step or its close.
class FakeDocument : public LibraryDocument {
 public:
  FakeDocument(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}
  ~FakeDocument() override { log_.push_back(name_ + " destroyed"); }

  bool IsFirstRequestSent() const override { return firstSent_; }
  void SetFirstRequestSent() override { firstSent_ = true; }
  bool IsReady() const override { return ready_; }
  bool IsLinkEnded() const override { return linkEnded_; }
  void RequestProjectTree(bool force) override { log_.push_back(name_ + " tree " + (force ? "forced" : "plain")); }
  void ProcessMessages(bool closing) override {
    log_.push_back(name_ + (closing ? " pump closing" : " pump"));
    if (onPump) onPump();
    log_.push_back(name_ + " pump end");   // reads this document after the action
  }
  void Close() override {
    log_.push_back(name_ + " close");
    if (onClose) onClose();
  }
  void OnClosePending() override { log_.push_back(name_ + " pending"); }

  bool firstSent_ = false;
  bool ready_ = false;
  bool linkEnded_ = false;
  std::function<void()> onPump;
  std::function<void()> onClose;

 private:
  std::string name_;
  std::vector<std::string>& log_;
};

class OpenLibrariesTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetNotifyHandler(nullptr); }

  FakeDocument& Open(const std::string& name) {
    return static_cast<FakeDocument&>(libraries_.Open(std::make_unique<FakeDocument>(name, log_)));
  }
  std::vector<std::string> Pass() {
    log_.clear();
    libraries_.DoProcessing();
    return log_;
  }

  std::vector<std::string> log_;
  OpenLibraries libraries_;
};

using Log = std::vector<std::string>;

TEST_F(OpenLibrariesTest, FirstRequestWaitsForTheLogonThenEachPassPumpsOnce) {
  FakeDocument& waiting = Open("a");
  FakeDocument& gone = Open("b");
  gone.linkEnded_ = true;
  EXPECT_EQ(Pass(), (Log{"b pump", "b pump end"}));

  waiting.ready_ = true;
  gone.linkEnded_ = false;
  EXPECT_EQ(Pass(), (Log{"a tree plain"}));
  EXPECT_TRUE(waiting.firstSent_);
  EXPECT_EQ(Pass(), (Log{"a pump", "a pump end"}));
  waiting.ready_ = false;
  EXPECT_EQ(Pass(), (Log{"a pump", "a pump end"}));
}

TEST_F(OpenLibrariesTest, NestedPassesReturnAtOnceAndClosesWaitForThePassEnd) {
  FakeDocument& a = Open("a");
  FakeDocument& b = Open("b");
  FakeDocument& c = Open("c");
  for (FakeDocument* document : {&a, &b, &c}) document->firstSent_ = true;
  a.onPump = [&] {
    libraries_.DoProcessing();   // a modal box's timer
    libraries_.RequestClose(a);
    libraries_.RequestClose(c);
    libraries_.RequestClose(a);
  };
  b.onPump = [&] { Open("d").firstSent_ = true; };
  c.onClose = [&] {
    libraries_.DoProcessing();
    libraries_.RequestClose(b);
  };
  EXPECT_EQ(Pass(), (Log{"a pump", "a pump end", "b pump", "b pump end", "a close", "a destroyed", "c close",
                         "c destroyed", "b close", "b destroyed"}));
  ASSERT_EQ(libraries_.GetCount(), 1);
  EXPECT_EQ(Pass(), (Log{"d pump", "d pump end"}));
}

TEST_F(OpenLibrariesTest, CloseOutsideAPassIsImmediateAndUnknownDocumentsAreIgnored) {
  FakeDocument& a = Open("a");
  log_.clear();
  libraries_.RequestClose(a);
  EXPECT_EQ(log_, (Log{"a close", "a destroyed"}));
  std::vector<std::string> strayLog;
  FakeDocument stray("stray", strayLog);
  libraries_.RequestClose(stray);
  EXPECT_EQ(strayLog, Log{});
  EXPECT_EQ(libraries_.GetCount(), 0);
}

TEST_F(OpenLibrariesTest, RunningOutOfMemoryStopsThePassWithItsMessage) {
  std::vector<std::string> shown;
  platform::SetNotifyHandler([&](const platform::Notification& n) {
    shown.push_back(n.text);
    return platform::NotifyAnswer::Ok;
  });
  FakeDocument& a = Open("a");
  FakeDocument& b = Open("b");
  a.firstSent_ = b.firstSent_ = true;
  a.onPump = [&] {
    libraries_.RequestClose(a);
    throw std::bad_alloc();
  };
  EXPECT_EQ(Pass(), (Log{"a pump", "a close", "a destroyed"}));
  EXPECT_EQ(shown, Log{OpenLibraries::kPassFailed});
  EXPECT_EQ(Pass(), (Log{"b pump", "b pump end"}));
}

TEST_F(OpenLibrariesTest, AHeldDocumentClosesInTheFirstPassAfterItsLastHold) {
  FakeDocument& a = Open("a");
  FakeDocument& b = Open("b");
  a.firstSent_ = b.firstSent_ = true;
  libraries_.SetClosedObserver([&](LibraryDocument& closed) {
    log_.push_back(std::string(&closed == &a ? "a" : "b") + " observed");
  });
  log_.clear();
  auto outer = std::make_unique<OpenLibraries::Hold>(libraries_, a);
  {
    OpenLibraries::Hold inner(libraries_, a);
    libraries_.RequestClose(a);
    libraries_.RequestClose(a);   // told once
    EXPECT_TRUE(libraries_.IsClosePending(a));
    EXPECT_EQ(libraries_.Find([](const LibraryDocument&) { return true; }), &b);
  }
  EXPECT_EQ(log_, (Log{"a pending"}));
  // Still held by the outer hold: the pass leaves it alone, neither pumped nor closed.
  EXPECT_EQ(Pass(), (Log{"b pump", "b pump end"}));
  log_.clear();
  outer.reset();
  EXPECT_EQ(log_, Log{});   // the release closes nothing under the releasing handler
  EXPECT_EQ(Pass(), (Log{"b pump", "b pump end", "a close", "a observed", "a destroyed"}));
  EXPECT_EQ(libraries_.GetCount(), 1);
  EXPECT_FALSE(libraries_.IsClosePending(b));
}

TEST_F(OpenLibrariesTest, HoldsOfOneDocumentLeaveTheClosesOfOthersAlone) {
  FakeDocument& a = Open("a");
  FakeDocument& b = Open("b");
  libraries_.SetClosedObserver([&](LibraryDocument&) { log_.push_back("observed"); });
  OpenLibraries::Hold hold(libraries_, a);
  log_.clear();
  libraries_.RequestClose(b);
  EXPECT_EQ(log_, (Log{"b close", "observed", "b destroyed"}));
  EXPECT_FALSE(libraries_.IsClosePending(a));
}

}  // namespace
