#include "client/document/DoneNotice.h"

namespace {

std::string Counted(int count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

void DoneNotice::Count(Operation operation, const std::string& subject, int done, int refused) {
  // A publication's own retrievals are not what it made.
  if (operation_ == Operation::kPublish && operation != Operation::kPublish) return;
  SetOperation(operation, subject);
  done_ += done;
  refused_ += refused;
}

void DoneNotice::CountNotDone(const std::vector<std::string>& names) {
  notDone_ += static_cast<int>(names.size());
  for (const std::string& name : names) {
    if (notDoneNames_.size() < kNamedNotDone) notDoneNames_.push_back(name);
  }
}

std::string DoneNotice::StepsLeftText() const {
  std::string text;
  if (notDone_ > 0) {
    std::string names;
    for (const std::string& name : notDoneNames_) names += (names.empty() ? "" : ", ") + name;
    const int unnamed = notDone_ - static_cast<int>(notDoneNames_.size());
    if (unnamed > 0) names += " and " + std::to_string(unnamed) + " more";
    text += ", " + std::to_string(notDone_) + " not done (" + names + ")";
  }
  if (cancelled_ > 0) text += ", " + std::to_string(cancelled_) + " cancelled";
  return text;
}

void DoneNotice::SetOperation(Operation operation, const std::string& subject) {
  if (operation == Operation::kPublish && operation_ != Operation::kPublish) {
    *this = DoneNotice();
    operation_ = operation;
    subject_ = subject;
    return;
  }
  if (operation == Operation::kPublish && !subject.empty()) subject_ = subject;
  if (operation_ == Operation::kNone) operation_ = operation;
  if (subject_.empty() && operation_ == operation) subject_ = subject;
}

std::string DoneNotice::Text() const {
  const std::string where = subject_.empty() ? "" : " into " + subject_;
  std::string text;
  const char* failedStep = "step failed";
  const char* failedSteps = "steps failed";
  switch (operation_) {
    case Operation::kNone:
      return "";
    case Operation::kRetrieve:
      text = "Retrieved " + Counted(done_, "file", "files") + where;
      if (refused_ > 0) text += ", " + std::to_string(refused_) + " not placed";
      failedStep = "project failed";
      failedSteps = "projects failed";
      break;
    case Operation::kCheckOut:
      text = "Checked out " + Counted(done_, "file", "files") + where;
      if (refused_ > 0) text += ", " + std::to_string(refused_) + " refused";
      failedStep = "request failed";
      failedSteps = "requests failed";
      break;
    case Operation::kCheckIn:
      text = "Checked in " + Counted(done_, "document", "documents");
      if (refused_ > 0) text += ", " + std::to_string(refused_) + " refused";
      failedStep = "request failed";
      failedSteps = "requests failed";
      break;
    case Operation::kAdd:
      // An add always says all three, so a refusal or failure is never overlooked.
      return "Add to Library: " + Counted(done_, "document", "documents") + " added, " + std::to_string(refused_) +
             " refused, " + Counted(failed_, "folder failed", "folders failed") + StepsLeftText();
    case Operation::kPublish:
      text = "Published " + (subject_.empty() ? std::string("the edition") : "\"" + subject_ + "\"") + " with " +
             Counted(done_, "document", "documents");
      if (refused_ > 0) text += ", " + std::to_string(refused_) + " refused";
      break;
  }
  if (failed_ > 0) text += ", " + Counted(failed_, failedStep, failedSteps);
  return text + StepsLeftText();
}
