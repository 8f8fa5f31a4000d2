#pragma once
// What one finished operation did, counted as its replies arrive: which operation,
// where its files went, how many were done, refused, how many of its steps failed,
// the documents of its steps that failed (the first named) or were given up; and
// the one line the status bar shows once it ends ("what, how many").
// A publication outranks the retrievals and lists its batch also makes.
#include <string>
#include <vector>

class DoneNotice {
 public:
  enum class Operation { kNone, kRetrieve, kCheckOut, kCheckIn, kAdd, kPublish };

  // Counts one reply of `operation`: `done` files placed, checked in or added,
  // `refused` ones the library or the disk refused. The first `subject` given (a
  // folder; for a publication its edition or supplement) is kept.
  void Count(Operation operation, const std::string& subject, int done, int refused);
  // Counts one step of the operation that never completed.
  void CountFailed() { ++failed_; }
  // Counts the documents of a step that was sent but never completed; the notice
  // names the first of them.
  void CountNotDone(const std::vector<std::string>& names);
  // Counts the documents of steps a cancel gave up before they were sent.
  void CountCancelled(int documents) { cancelled_ += documents; }
  // Names the operation of a whole batch, whose steps may all have failed: a
  // publication takes over (what other operations counted is dropped) and gets
  // its edition's or supplement's name as subject; any other operation only when
  // none was counted.
  void SetOperation(Operation operation, const std::string& subject);

  bool IsEmpty() const { return operation_ == Operation::kNone; }
  // The status-bar line; empty when nothing was counted.
  std::string Text() const;

 private:
  static constexpr std::size_t kNamedNotDone = 3;
  // ", N not done (a, b, c and M more), K cancelled", or "".
  std::string StepsLeftText() const;

  Operation operation_ = Operation::kNone;
  std::string subject_;
  int done_ = 0;
  int refused_ = 0;
  int failed_ = 0;
  int notDone_ = 0;
  std::vector<std::string> notDoneNames_;   // the first kNamedNotDone
  int cancelled_ = 0;
};
