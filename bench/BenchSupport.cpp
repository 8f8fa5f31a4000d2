#include "bench/BenchSupport.h"

#include <fcntl.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "common/BuiltInKeys.h"
#include "platform/FileDescriptor.h"
#include "platform/fs.h"
#include "server/store/CWexmoorDoc.h"
#include "server/store/ProjectFileList.h"
#include "server/store/StoreFilePaths.h"

namespace bench {

std::optional<double> BestOf(int rounds, const std::function<std::optional<double>()>& run) {
  std::optional<double> best;
  for (int r = 0; r < rounds; ++r) {
    const std::optional<double> seconds = run();
    if (!seconds) return std::nullopt;
    best = best ? std::min(*best, *seconds) : *seconds;
  }
  return best;
}

bool SendAll(platform::Socket& socket, const char* data, std::size_t length) {
  for (std::size_t sent = 0; sent < length;) {
    const platform::IoResult result = socket.Send(data + sent, std::min(kSocketCall, length - sent));
    if (result.status == platform::IoStatus::Failed || result.status == platform::IoStatus::Closed) return false;
    if (result.status == platform::IoStatus::Ok) sent += result.bytes;
    if (result.status == platform::IoStatus::WouldBlock) socket.WaitWritable(5000);
  }
  return true;
}

bool WriteDocuments(CWexmoorDoc& document, const std::string& project, int count, int& next) {
  if (count == 0) return true;
  const std::string folder = document.GetProjectFolderPath(project) + "/";
  ProjectFileList list;
  for (int i = 0; i < count; ++i, ++next) {
    const std::string internalName = "WXFiName_Hi900Lo" + std::to_string(next);
    const std::string content = "document " + std::to_string(next);
    FileEntry header;
    header.SetName("doc" + std::to_string(i) + ".txt");
    header.SetAuthor("bench");
    header.SetVersion(1);
    header.SetFileSize(static_cast<int>(content.size()));
    header.SetInternalFileName(internalName);
    header.StampCreated();
    FileStatistics statistics;
    statistics.SetOwnerProject(project);
    statistics.SetHeader(header);
    statistics.AddVersion(header);
    // Plain writes: a benchmark's library needs no durability, and many are written.
    std::string record;
    if (statistics.Encode(record) != 0) return false;
    if (!(std::ofstream(StatisticsPath(folder, internalName), std::ios::binary) << record)) return false;
    std::ofstream(folder + header.GetVersionFileName(), std::ios::binary) << content;
    list.SetAt(header.GetName(), internalName);
  }
  return list.Save(ProjectFileListPath(folder, project));
}

std::unique_ptr<CWexmoorDoc> OpenLibrary(const std::string& scratch, const std::string& root) {
  const std::string work = scratch + "/work";
  const std::string locks = scratch + "/locks";
  for (const std::string& folder : {work, root, locks}) platform::fs::CreateFolder(folder);
  std::ofstream(work + "/" + CWexmoorDoc::kRootPathFileName, std::ios::binary) << "\"" << root << "\",\"\",0";
  auto document = std::make_unique<CWexmoorDoc>(CWexmoorDoc::Setup{work, locks, CertificateBuiltInKey()});
  if (!document->OnNewDocument()) throw std::runtime_error("library did not start");
  return document;
}

bool ReceiveAll(platform::Socket& socket, char* buffer, std::size_t length) {
  for (std::size_t got = 0; got < length;) {
    const platform::IoResult result = socket.Receive(buffer + got, length - got);
    if (result.status == platform::IoStatus::Failed || result.status == platform::IoStatus::Closed) return false;
    if (result.status == platform::IoStatus::Ok) got += result.bytes;
    if (result.status == platform::IoStatus::WouldBlock) socket.WaitReadable(5000);
  }
  return true;
}

bool RawLoopbackCopy(const std::string& source, const std::string& target, std::size_t size, bool durable) {
  platform::Socket listener = platform::Socket::Listen(0, 1, "127.0.0.1");
  platform::Socket sender = platform::Socket::Connect("127.0.0.1", listener.LocalPort());
  platform::Socket receiver;
  if (!sender.IsOpen() || !listener.WaitReadable(5000) || listener.Accept(receiver) != platform::IoStatus::Ok) {
    return false;
  }
  bool sent = false;
  std::thread sending([&] {
    platform::FileDescriptor in(source, O_RDONLY);
    std::vector<char> block(kSocketCall);
    std::int64_t length = 0;
    sent = in.Size(length) && length == static_cast<std::int64_t>(size);
    for (std::size_t left = size; sent && left > 0;) {
      const std::size_t piece = std::min(kSocketCall, left);
      sent = in.ReadExactly(block.data(), piece) && SendAll(sender, block.data(), piece);
      left -= piece;
    }
  });
  platform::FileDescriptor out(target, O_WRONLY | O_CREAT | O_EXCL, 0644);
  std::vector<char> block(kSocketCall);
  bool ok = out.IsOpen();
  for (std::size_t left = size; ok && left > 0;) {
    const std::size_t piece = std::min(kSocketCall, left);
    ok = ReceiveAll(receiver, block.data(), piece) && out.WriteAll(block.data(), piece);
    left -= piece;
  }
  ok = ok && (!durable || out.Sync()) && out.Close();
  sending.join();
  return ok && sent;
}

void BestRateReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    const auto rate = run.counters.find(counter_);
    if (run.run_type != Run::RT_Iteration || rate == run.counters.end()) continue;
    double& best = rates_[run.run_name.str()];
    best = std::max(best, rate->second.value);
  }
  ConsoleReporter::ReportRuns(runs);
}

double BestRateReporter::Rate(const std::string& runName) const {
  const auto found = rates_.find(runName);
  return found == rates_.end() ? 0 : found->second;
}

bool RunBenchmarks(int& argc, char** argv, benchmark::BenchmarkReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return false;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return true;
}

}  // namespace bench
