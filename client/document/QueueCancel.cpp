#include "client/document/QueueCancel.h"

namespace {

std::string Steps(int count) { return std::to_string(count) + (count == 1 ? " step" : " steps"); }

}  // namespace

QueueCancel QueueCancel::Count(const std::deque<InstructionBatch>& batches) {
  QueueCancel counted;
  for (const InstructionBatch& batch : batches) {
    for (int i = 1; i < batch.GetCount(); ++i) {
      const Instruction& instruction = *batch.GetInstruction(i);
      if (instruction.IsDone()) {
        ++counted.done;
      } else if (instruction.IsSent()) {
        ++counted.awaited;
      } else {
        ++counted.cancelled;
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
  std::string text = "Cancelled: " + Steps(cancelled) + " of the operation" + (cancelled == 1 ? " was" : " were") +
                     " not sent. " + Steps(done) + (done == 1 ? " was" : " were") + " done and stay" +
                     (done == 1 ? "s" : "") + " done.";
  if (awaited > 0) {
    text += " " + Steps(awaited) + " already sent finish" + (awaited == 1 ? "es" : "") +
            " as the library answers.";
  }
  return text;
}
