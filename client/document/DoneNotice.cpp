#include "client/document/DoneNotice.h"

namespace {

std::string Counted(int count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// How the notice of an operation that moves documents says what it did.
struct Wording {
  const char* done;
  const char* one;
  const char* many;
  bool saysWhere;      // " into" the folder the files went to
  const char* refused;
  const char* failedOne;
  const char* failedMany;
};

const Wording& WordingOf(DoneNotice::Operation operation) {
  static constexpr Wording kRetrieve{"Retrieved", "file", "files", true, "not placed", "project failed",
                                     "projects failed"};
  static constexpr Wording kCheckOut{"Checked out", "file", "files", true, "refused", "request failed",
                                     "requests failed"};
  static constexpr Wording kCheckIn{"Checked in", "document", "documents", false, "refused", "request failed",
                                    "requests failed"};
  static constexpr Wording kPublish{"Published", "document", "documents", false, "refused", "step failed",
                                    "steps failed"};
  switch (operation) {
    case DoneNotice::Operation::kRetrieve: return kRetrieve;
    case DoneNotice::Operation::kCheckOut: return kCheckOut;
    case DoneNotice::Operation::kCheckIn: return kCheckIn;
    default: return kPublish;
  }
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
  switch (operation_) {
    case Operation::kNone:
      return "";
    case Operation::kAdd:
      // An add always says all three, so a refusal or failure is never overlooked.
      return "Add to Library: " + Counted(done_, "document", "documents") + " added, " + std::to_string(refused_) +
             " refused, " + Counted(failed_, "folder failed", "folders failed") + StepsLeftText();
    default:
      break;
  }
  const Wording& wording = WordingOf(operation_);
  std::string text = wording.done;
  // A publication names what it made; the others where their files went.
  if (operation_ == Operation::kPublish) {
    text += " " + (subject_.empty() ? std::string("the edition") : "\"" + subject_ + "\"") + " with";
  }
  text += " " + Counted(done_, wording.one, wording.many);
  if (wording.saysWhere && !subject_.empty()) text += " into " + subject_;
  if (refused_ > 0) text += ", " + std::to_string(refused_) + " " + wording.refused;
  if (failed_ > 0) text += ", " + Counted(failed_, wording.failedOne, wording.failedMany);
  return text + StepsLeftText();
}
