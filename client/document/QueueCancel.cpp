#include "client/document/QueueCancel.h"

namespace {

std::string Steps(int count) { return std::to_string(count) + (count == 1 ? " step" : " steps"); }

// " (N documents)" after the steps that carry them.
std::string Documents(int count) {
  return count == 0 ? std::string() : " (" + std::to_string(count) + (count == 1 ? " document)" : " documents)");
}

}  // namespace

QueueCancel QueueCancel::Count(const std::deque<InstructionBatch>& batches) {
  QueueCancel counted;
  for (const InstructionBatch& batch : batches) {
    for (int i = 1; i < batch.GetCount(); ++i) {
      const Instruction& instruction = *batch.GetInstruction(i);
      const int documents = instruction.GetDocuments().GetCount();
      if (instruction.IsDone()) {
        ++counted.done;
        counted.doneDocuments += documents;
      } else if (instruction.IsSent()) {
        ++counted.awaited;
        counted.awaitedDocuments += documents;
      } else {
        ++counted.cancelled;
        counted.cancelledDocuments += documents;
      }
    }
  }
  return counted;
}

QueueCancel QueueCancel::Apply(std::deque<InstructionBatch>& batches) {
  const QueueCancel counted = Count(batches);
  for (InstructionBatch& batch : batches) batch.CancelUnsent();
  return counted;
}

std::string QueueCancel::Text() const {
  std::string text = "Cancelled: " + Steps(cancelled) + " of the operation" + Documents(cancelledDocuments) +
                     (cancelled == 1 ? " was" : " were") + " not sent. " + Steps(done) + Documents(doneDocuments) +
                     (done == 1 ? " was" : " were") + " done and stay" + (done == 1 ? "s" : "") + " done.";
  if (awaited > 0) {
    text += " " + Steps(awaited) + Documents(awaitedDocuments) + " already sent finish" + (awaited == 1 ? "es" : "") +
            " as the library answers.";
  }
  return text;
}
