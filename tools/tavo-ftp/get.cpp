// tavo-ftp get: several files, URLs of one server and login sharing one session, each file
// written beside its destination under a temporary name and put in place when whole, tried
// again after transient failures (resuming the temporary file where the server allows).

#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "net/stack/exceptions.h"
#include "platform/console.h"
#include "platform/file_commit.h"
#include "platform/interrupt.h"
#include "platform/user_files.h"
#include "rtl/format.h"
#include "rtl/paths.h"
#include "rtl/streams.h"
#include "tools/tavo-ftp/commands.h"
#include "tools/tavo-ftp/credentials.h"
#include "tools/tavo-ftp/errors.h"
#include "tools/tavo-ftp/limits.h"
#include "tools/tavo-ftp/messages.h"
#include "tools/tavo-ftp/progress.h"
#include "tools/tavo-ftp/session.h"

namespace tavo::tool {
namespace {

// One file to fetch: where from, where to, as whom.
struct Job {
  FtpUrl url;
  std::string dest;  // "-": standard output
  Login login;
  bool ToStdout() const { return dest == "-"; }
  // The name lines give the file: its destination, or its path on the server.
  std::string Name() const { return ToStdout() ? RemotePath() : dest; }
  std::string RemotePath() const {
    return url.directory.empty() ? url.file : url.directory + "/" + url.file;
  }
};

// Standard output as a stream: written in order, never sought.
class StdoutStream : public rtl::TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    std::string reason;
    if (!platform::WriteBytes(platform::TStdStream::ssOutput, buffer, static_cast<size_t>(count),
                              reason))
      throw rtl::EWriteError(rtl::Format(msg::kStdoutFailed, {reason}));
    written_ += count;
    return count;
  }
  // Only the questions a reader asks (where am I, how much is there) can be answered: a retry
  // resumes from what was written.
  int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override {
    if ((offset != 0 || origin == rtl::TSeekOrigin::soBeginning) &&
        !(origin == rtl::TSeekOrigin::soBeginning && offset == written_))
      throw rtl::EStreamError(msg::kStdoutNoSeek.Text());
    return written_;
  }
  void SetSize(int64_t new_size) override {
    if (new_size != written_) throw rtl::EStreamError(msg::kStdoutNoSeek.Text());
  }

 private:
  int64_t written_ = 0;
};

// The file a download is written to before it takes DEST's place: a new name beside DEST (the
// final rename stays on one file system), made exclusively with the access a new file gets.
// It goes again unless Commit moved it into place, also when the user interrupts.
class TemporaryFile {
 public:
  // Raises ToolError (exit 3) with the system's reason when no name can be had.
  explicit TemporaryFile(const std::string& dest) {
    std::filesystem::path folder = rtl::PathFromUtf8(dest).parent_path();
    if (folder.empty()) folder = ".";
    std::random_device seed;
    std::mt19937 random(seed());
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string reason;
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = ".tavo-ftp-";
      for (int i = 0; i < 10; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
      const std::string path = rtl::Utf8FromPath(folder / rtl::PathFromUtf8(name + ".part"));
      const platform::TFsResult made = platform::CreateNewFile(path, reason);
      if (made == platform::TFsResult::frDone) {
        path_ = path;
        platform::SetInterruptCleanupFile(path_);
        return;
      }
      if (made == platform::TFsResult::frFailed) break;
    }
    throw ToolError(kLocalFile, rtl::Format(msg::kNoTemporaryFile, {dest, reason}));
  }
  ~TemporaryFile() {
    if (!path_.empty()) platform::RemoveFile(path_);
    platform::SetInterruptCleanupFile("");
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& Path() const { return path_; }
  // Moves the complete file into DEST's place: replacing DEST, or with `exclusive` only when
  // nothing carries that name (then false, and the file stays temporary).
  bool Commit(const std::string& dest, bool exclusive) {
    std::string reason;
    const platform::TFsResult moved = platform::MoveIntoPlace(path_, dest, !exclusive, reason);
    if (moved == platform::TFsResult::frExists) return false;
    if (moved == platform::TFsResult::frFailed)
      throw ToolError(kLocalFile, rtl::Format(msg::kCannotMoveIntoPlace, {dest, reason}));
    path_.clear();
    platform::SetInterruptCleanupFile("");
    return true;
  }

 private:
  std::string path_;
};

// Counts what passes to the destination; tells the progress meter and the guard.
class CountingStream : public rtl::TStream {
 public:
  CountingStream(rtl::TStream& ATarget, Progress& AProgress, TransferGuard& AGuard)
      : target_(ATarget), progress_(AProgress), guard_(AGuard) {}
  int64_t Read(void* buffer, int64_t count) override { return target_.Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override {
    const int64_t n = target_.Write(buffer, count);
    if (n > 0) {
      bytes_ += n;
      received_ += n;
      progress_.Update(bytes_);
      guard_.Counted(n);
    }
    return n;
  }
  int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override {
    const int64_t pos = target_.Seek(offset, origin);
    if (origin != rtl::TSeekOrigin::soCurrent || offset != 0) bytes_ = pos;
    return pos;
  }
  void SetSize(int64_t new_size) override { target_.SetSize(new_size); }
  void Flush() override { target_.Flush(); }
  int64_t Bytes() const { return bytes_; }
  int64_t Received() const { return received_; }

 private:
  rtl::TStream& target_;
  Progress& progress_;
  TransferGuard& guard_;
  int64_t bytes_ = 0;
  int64_t received_ = 0;
};

// What one file's tries share: the temporary file, or what went to standard output.
struct JobState {
  std::unique_ptr<TemporaryFile> temporary;
  StdoutStream standard_output;
};

// On a terminal the progress is redrawn in place unless --no-progress; elsewhere a line every
// few seconds with --progress only; nothing with -q.
Progress::TMode ProgressMode(const Options& o, const Console& err) {
  if (o.quiet) return Progress::TMode::pmOff;
  if (err.IsTerminal()) return o.progress.value_or(true) ? Progress::TMode::pmRedrawn : Progress::TMode::pmOff;
  return o.progress.value_or(false) ? Progress::TMode::pmPeriodic : Progress::TMode::pmOff;
}

class GetCommand {
 public:
  GetCommand(const Options& o, Console& err)
      : o_(o), err_(err), guard_(o), progress_(err, ProgressMode(o, err)),
        progress_on_(ProgressMode(o, err) != Progress::TMode::pmOff) {}

  int Run();

 private:
  // Where each URL's file goes, and as whom it is fetched; refusals made before any connection.
  std::vector<Job> PlanJobs(int& exit_code);
  // One file, tried again as often as --retry allows. `session` is opened as needed and
  // dropped when a failure leaves it unusable.
  int FetchWithRetries(const Job& job, std::unique_ptr<Session>& session, bool several_folders);
  // One try at one file: into its destination, put in place, reported.
  void Fetch(Session& session, const Job& job, JobState& state);

  // Where one try writes: the stream, the file behind it if any, and whether the try continues
  // what is there.
  struct Destination {
    rtl::TStream* stream = nullptr;
    std::unique_ptr<rtl::TFileStream> file;
    bool resume = false;
    bool in_place = false;  // --resume appends to DEST itself
  };
  Destination OpenDestination(const Job& job, JobState& state);
  // The server cannot resume: a temporary or replaced file begins again, anything else fails.
  void StartOver(const Job& job, Destination& dest);
  // -1 where the size is unknown or nobody is shown it.
  int64_t ProgressTotal(net::TIdFTP& ftp, const Job& job);
  void Retrieve(net::TIdFTP& ftp, const Job& job, const Destination& dest,
                CountingStream& counted, int64_t offset, int64_t total);
  void PutInPlace(const Job& job, JobState& state, Destination& dest);
  // --remote-time: the file gets the server's modification time where the server tells it.
  void CopyRemoteTime(net::TIdFTP& ftp, const Job& job);

  const Options& o_;
  Console& err_;
  TransferGuard guard_;
  Progress progress_;
  bool progress_on_;
};

std::vector<Job> GetCommand::PlanJobs(int& exit_code) {
  Credentials credentials(o_);
  std::vector<Job> jobs;
  // DEST names a file for one URL; for several it must be a folder, which keeps the names.
  const bool dest_is_folder =
      !o_.dest.empty() && o_.dest != "-" &&
      platform::PathKind(o_.dest) == platform::TPathKind::pkFolder;
  if (o_.urls.size() > 1 && !o_.dest.empty() && !dest_is_folder)
    throw UsageError(rtl::Format(msg::kUsageDestNotFolder, {o_.dest}));
  for (size_t i = 0; i < o_.urls.size(); ++i) {
    Job job;
    job.url = o_.urls[i];
    const auto within = [](const std::string& folder, const std::string& name) {
      return rtl::Utf8FromPath(rtl::PathFromUtf8(folder) / rtl::PathFromUtf8(name));
    };
    try {
      if (i < o_.outputs.size()) {
        job.dest = o_.outputs[i];
        if (!o_.output_dir.empty() && job.dest != "-" && rtl::PathFromUtf8(job.dest).is_relative())
          job.dest = within(o_.output_dir, job.dest);
      } else if (dest_is_folder) {
        job.dest = within(o_.dest, DefaultDestination(job.url));
      } else if (!o_.dest.empty()) {
        job.dest = o_.dest;
      } else {
        job.dest = DefaultDestination(job.url);
        if (!o_.output_dir.empty()) job.dest = within(o_.output_dir, job.dest);
      }
    } catch (const UrlError& e) {
      throw UsageError(e.what());
    }
    // Anything carrying the name counts, a symbolic link to nothing too: writing through it
    // would make a file elsewhere.
    if (o_.no_clobber && !o_.resume && !job.ToStdout() && platform::PathEntryExists(job.dest)) {
      err_.Line("tavo-ftp: " + rtl::Format(msg::kNotClobbered, {job.dest}));
      exit_code = kLocalFile;
      continue;
    }
    job.login = credentials.For(job.url);
    jobs.push_back(std::move(job));
  }
  return jobs;
}

int GetCommand::Run() {
  int exit_code = kSuccess;
  std::vector<Job> jobs;
  try {
    jobs = PlanJobs(exit_code);
  } catch (const UsageError& e) {
    err_.Line(std::string("tavo-ftp: ") + e.what());
    return kUsage;
  } catch (const ToolError& e) {
    err_.Line(std::string("tavo-ftp: ") + e.what());
    return e.Code();
  }
  // Sessions in the order their first URL came; within one, the URLs in their order.
  using Key = std::tuple<std::string, int32_t, std::string, std::string>;
  std::vector<Key> order;
  std::map<Key, std::vector<const Job*>> groups;
  for (const Job& job : jobs) {
    const Key key{job.url.host, job.url.port, job.login.user, job.login.password};
    if (groups.find(key) == groups.end()) order.push_back(key);
    groups[key].push_back(&job);
  }
  for (const Key& key : order) {
    const std::vector<const Job*>& group = groups[key];
    std::set<std::string> folders;
    for (const Job* job : group) folders.insert(job->url.directory);
    std::unique_ptr<Session> session;
    for (const Job* job : group) {
      const int code = FetchWithRetries(*job, session, folders.size() > 1);
      if (code != kSuccess && exit_code == kSuccess) exit_code = code;
      // Out of time: the rest cannot be had either.
      if (code == kTimeout && guard_.RemainingMs() == 0) return exit_code;
    }
    if (session) session->Close();
  }
  return exit_code;
}

int GetCommand::FetchWithRetries(const Job& job, std::unique_ptr<Session>& session,
                                 bool several_folders) {
  JobState state;  // kept across tries: a retry resumes what the last one wrote
  for (int attempt = 0;; ++attempt) {
    try {
      if (!session) {
        session = std::make_unique<Session>(o_, job.url, job.login, err_, several_folders);
        session->Open();
      }
      Fetch(*session, job, state);
      return kSuccess;
    } catch (const std::exception& e) {
      progress_.End();
      guard_.EndTransfer();
      const TStep step = session ? session->Step() : TStep::stConnect;
      const Failure failure =
          Classify(e, step,
                   session ? session->Subject(step == TStep::stChangeDir ? job.url.directory
                                                                         : job.RemotePath())
                           : Session::SubjectBeforeConnect(job.url, job.login));
      // A refusal leaves the session as it was; anything else may have left it mid-transfer.
      const auto* reply = dynamic_cast<const net::EIdProtocolReplyError*>(&e);
      if (reply == nullptr || reply->ReplyCode() == 421) session.reset();
      const bool out_of_time = guard_.RemainingMs() == 0;
      if (failure.transient && attempt < o_.retries && !out_of_time) {
        const int64_t delay = o_.retry_delay_ms >= 0
                                  ? o_.retry_delay_ms
                                  : std::min<int64_t>(int64_t{1000} << std::min(attempt, 9), 600000);
        err_.Line("tavo-ftp: " + rtl::Format(msg::kRetrying,
                                             {failure.line, delay / 1000.0 >= 1
                                                                ? std::to_string(delay / 1000) + " s"
                                                                : std::to_string(delay) + " ms",
                                              attempt + 1, o_.retries}));
        try {
          guard_.Pause(delay);
        } catch (const ToolError& out) {
          err_.Line(std::string("tavo-ftp: ") + out.what());
          return out.Code();
        }
        continue;
      }
      err_.Line("tavo-ftp: " + failure.line);
      return failure.code;
    }
  }
}

void GetCommand::Fetch(Session& session, const Job& job, JobState& state) {
  session.ResetTransferState();
  session.EnterFolder(job.url.directory);
  session.SetStep(TStep::stRetrieve);
  net::TIdFTP& ftp = session.Ftp();

  Destination dest = OpenDestination(job, state);
  // Without restart markers the whole file would be appended to what is there.
  if (dest.resume && !ftp.ProbeResume()) StartOver(job, dest);
  const int64_t offset = dest.stream->Position();
  const int64_t total = ProgressTotal(ftp, job);
  CountingStream counted(*dest.stream, progress_, guard_);
  counted.Seek(offset, rtl::TSeekOrigin::soBeginning);
  const auto started = std::chrono::steady_clock::now();
  Retrieve(ftp, job, dest, counted, offset, total);
  progress_.End();
  guard_.EndTransfer();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  // The library returns from a transfer the server reports aborted (426/450) and says so with
  // a status; for the tool a partial file is a failure, and one worth trying again.
  if (session.Aborted())
    throw ToolError(kFailure,
                    rtl::Format(msg::kCannotRetrieve, {job.RemotePath(),
                                                       session.Subject("").server,
                                                       msg::kServerAborted.Text()}),
                    true);
  PutInPlace(job, state, dest);
  if (o_.remote_time && !job.ToStdout()) CopyRemoteTime(ftp, job);
  session.ShowReady();
  if (o_.quiet) return;
  if (!session.Transferred())
    err_.Line(rtl::Format(msg::kCompleteAlready, {job.Name()}));
  else
    err_.Line(SummaryLine(job.Name(), counted.Bytes(), counted.Received(), seconds));
}

GetCommand::Destination GetCommand::OpenDestination(const Job& job, JobState& state) {
  // DEST is written in place only where it must be: a resume appends to it, and something
  // that is no regular file (standard output, /dev/null, a FIFO, a terminal) cannot be
  // replaced by renaming (as root, a rename onto /dev/null would replace the device with a
  // file). Everything else goes through a temporary file that takes DEST's place when whole.
  const platform::TPathKind kind =
      job.ToStdout() ? platform::TPathKind::pkOther : platform::PathKind(job.dest);
  if (kind == platform::TPathKind::pkFolder)
    throw ToolError(kLocalFile, rtl::Format(msg::kDestIsFolder, {job.dest}));
  Destination dest;
  dest.in_place = o_.resume && kind == platform::TPathKind::pkFile;
  if (job.ToStdout()) {
    dest.stream = &state.standard_output;
    // A retry continues where the last try stopped: what was written cannot be taken back.
    dest.resume = dest.stream->Position() > 0;
  } else if (dest.in_place) {
    dest.file = std::make_unique<rtl::TFileStream>(job.dest, rtl::fmOpenWrite);
    dest.resume = dest.file->Seek(0, rtl::TSeekOrigin::soEnd) > 0;
  } else if (kind == platform::TPathKind::pkOther || o_.resume) {
    dest.file = std::make_unique<rtl::TFileStream>(job.dest, rtl::fmCreate);
  } else {
    if (!state.temporary) state.temporary = std::make_unique<TemporaryFile>(job.dest);
    dest.file = std::make_unique<rtl::TFileStream>(state.temporary->Path(), rtl::fmOpenWrite);
    // A retry continues what the last try wrote.
    dest.resume = dest.file->Seek(0, rtl::TSeekOrigin::soEnd) > 0;
  }
  if (dest.file) dest.stream = dest.file.get();
  return dest;
}

void GetCommand::StartOver(const Job& job, Destination& dest) {
  if (dest.in_place || job.ToStdout())
    throw ToolError(kFailure, rtl::Format(msg::kNoResume, {job.Name()}));
  dest.file->SetSize(0);
  dest.file->Seek(0, rtl::TSeekOrigin::soBeginning);
  dest.resume = false;
}

int64_t GetCommand::ProgressTotal(net::TIdFTP& ftp, const Job& job) {
  // The total for the progress: the server's size of the file where it says (SIZE), else the
  // size the 150 reply announces (see Retrieve), except after a restart marker, where servers
  // differ in whether they announce the whole file or what is left.
  const bool binary = !o_.ascii;
  if (!binary || !progress_on_) return -1;
  try {
    return ftp.RemoteSize(job.url.file);
  } catch (const net::EIdProtocolReplyError&) {
    return -1;  // a server that refuses SIZE still sends the file
  } catch (const net::EIdFTPReplyFormatError&) {
    return -1;  // and one that garbles its answer too: the size only feeds the progress
  }
}

void GetCommand::Retrieve(net::TIdFTP& ftp, const Job& job, const Destination& dest,
                          CountingStream& counted, int64_t offset, int64_t total) {
  const bool resume = dest.resume;
  ftp.SetOnWorkBegin([this, &ftp, &job, total, resume, offset](rtl::TComponent*,
                                                               net::TWorkMode mode, int32_t) {
    if (mode != net::wmRead) return;
    const int64_t announced = ftp.TransferSize();
    progress_.Begin(job.Name(), total >= 0 ? total : (resume || announced < 0 ? -1 : announced),
                    offset);
    guard_.BeginTransfer();
  });
  ftp.SetOnWorkEnd(nullptr);
  try {
    ftp.Get(job.url.file, counted, resume);
  } catch (const net::EIdFTPTransferTooLong&) {
    // A resume whose server sent more than the file holds (it ignored the restart marker and
    // began again at byte 0): what it appended is not the file's rest.
    if (dest.in_place) {
      try {
        dest.file->SetSize(offset);
      } catch (const std::exception&) {
        // The error that ended the transfer is the one to report.
      }
    }
    throw;
  }
}

void GetCommand::PutInPlace(const Job& job, JobState& state, Destination& dest) {
  if (dest.file) dest.file->Close();
  if (!state.temporary) return;
  if (!state.temporary->Commit(job.dest, o_.no_clobber))
    throw ToolError(kLocalFile, rtl::Format(msg::kAppearedMeanwhile, {job.dest}));
  state.temporary.reset();
}

void GetCommand::CopyRemoteTime(net::TIdFTP& ftp, const Job& job) {
  rtl::TDateTime modified = 0;
  try {
    modified = ftp.RemoteModified(job.url.file);
  } catch (const net::EIdProtocolReplyError&) {
    modified = 0;  // a server that cannot say leaves the file's own time
  }
  std::string reason;
  // The days since 1899-12-30 in UTC, as seconds since 1970.
  const auto unix_seconds = static_cast<int64_t>((modified - 25569.0) * 86400.0 + 0.5);
  if (modified != 0 && !platform::SetModificationTime(job.dest, unix_seconds, reason))
    throw ToolError(kLocalFile, rtl::Format(msg::kCannotSetTime, {job.dest, reason}));
}

}  // namespace

int RunGet(const Options& AOptions, Console& AErr) { return GetCommand(AOptions, AErr).Run(); }

}  // namespace tavo::tool
