// tavo-ftp ls: one folder's listing, parsed (kind, size, time, name, link target), as names
// only, or raw.

#include <cstdio>
#include <string>
#include <string_view>

#include "net/ftp/listing.h"
#include "platform/console.h"
#include "rtl/datetime.h"
#include "tools/tavo-ftp/commands.h"
#include "tools/tavo-ftp/credentials.h"
#include "tools/tavo-ftp/errors.h"
#include "tools/tavo-ftp/limits.h"
#include "tools/tavo-ftp/messages.h"
#include "tools/tavo-ftp/session.h"
#include "tools/tavo-ftp/text.h"

namespace tavo::tool {
namespace {

// A server that offers MLST offers MLSD with it: FEAT names the one only.
constexpr const char kMlst[] = "MLST";

// "2026-12-07T22:26:00", or "-" for an entry without a date.
std::string IsoTime(rtl::TDateTime value) {
  rtl::TDateTimeParts p;
  if (value == 0 || !rtl::DecodeDateTime(value, p)) return "-";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", p.Year, p.Month, p.Day, p.Hour,
                p.Minute, p.Second);
  return buf;
}

// Lines to standard output in blocks, not one write each: a listing may have a million.
class LineWriter {
 public:
  explicit LineWriter(Console& AOut) : out_(AOut) {}
  ~LineWriter() { Flush(); }
  void Add(std::string_view ALine) {
    block_.append(ALine).append(1, '\n');
    if (block_.size() >= 65536) Flush();
  }
  void Flush() {
    if (!block_.empty()) out_.Write(block_);
    block_.clear();
  }

 private:
  Console& out_;
  std::string block_;
};

// Lists the URL's folder and parses the listing, the session still open; a failure raises.
void FetchListing(const Options& o, const FtpUrl& url, Session& session) {
  session.Open();
  session.EnterFolder(url.directory);
  session.SetStep(TStep::stList);
  // MLSD where the server offers it: exact sizes and times in UTC, no text to guess at. A
  // format forced by --format is one of LIST's.
  if (!o.force_list && !o.format && session.Ftp().SupportsFeature(kMlst))
    session.Ftp().MachineList();
  else
    session.Ftp().List();
  if (session.Aborted())
    throw ToolError(kFailure, rtl::Format(msg::kCannotList, {url.directory,
                                                             session.Subject("").server,
                                                             msg::kServerAborted.Text()}));
  session.ShowReady();
  // Parsed while the session is still there: a listing the parser refuses is this step's.
  session.Ftp().ListingItems();
}

// "d         4096 2026-12-07T22:26:00 name", with " -> target" for a link.
std::string DetailLine(const net::TIdFTPListItem& item) {
  const char kind = item.Kind() == net::KindDirectory ? 'd'
                    : item.Kind() == net::KindLink    ? 'l'
                                                      : '-';
  // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) about literal + string.
  char head[48];
  std::snprintf(head, sizeof head, "%c %12lld ", kind, static_cast<long long>(item.Size()));
  std::string line = head;
  line.append(IsoTime(item.Modified())).append(1, ' ').append(Printable(item.Name()));
  if (item.Kind() == net::KindLink && !item.LinkTarget().empty())
    line.append(" -> ").append(Printable(item.LinkTarget()));
  return line;
}

void WriteListing(const Options& o, net::TIdFTP& ftp, bool terminal, LineWriter& lines) {
  if (o.raw) {
    // Byte for byte for a program that reads them; a terminal gets no raw control characters.
    const rtl::TPackedLines& raw = ftp.ListLines();
    for (int i = 0; i < raw.Count(); ++i)
      lines.Add(terminal ? Printable(raw[i]) : std::string(raw[i]));
    return;
  }
  const net::TIdFTPListItems& items = *ftp.ListingItems();
  for (int i = 0; i < items.Count(); ++i) {
    const net::TIdFTPListItem& item = items.Items(i);
    if (o.names_only || items.ListFormat() == net::flfNoDetails)
      lines.Add(Printable(item.Name()));
    else
      lines.Add(DetailLine(item));
  }
}

}  // namespace

int RunLs(const Options& o, Console& err) {
  const FtpUrl& url = o.urls.front();
  Login login;
  try {
    login = Credentials(o).For(url);
  } catch (const ToolError& e) {
    err.Line(std::string("tavo-ftp: ") + e.what());
    return e.Code();
  }
  // --max-time bounds a listing as it bounds a download (the other bounds are about transfers).
  TransferGuard guard(o);
  Session session(o, url, login, err, false);
  if (o.format) {
    session.Ftp().SetOnCheckListFormat(
        [style = *o.format](rtl::TComponent*, const std::string&, net::TIdFTPListFormat& format) {
          format = style;
        });
  }
  try {
    FetchListing(o, url, session);
  } catch (const std::exception& e) {
    const Failure failure = Classify(e, session.Step(), session.Subject(url.directory));
    err.Line("tavo-ftp: " + failure.line);
    return failure.code;
  }
  session.Close();

  Console out(platform::TStdStream::ssOutput);
  LineWriter lines(out);
  WriteListing(o, session.Ftp(), out.IsTerminal(), lines);
  lines.Flush();
  if (out.Failed()) {
    err.Line(std::string("tavo-ftp: ") + msg::kStdoutWriteFailed.Text());
    return kLocalFile;
  }
  return kSuccess;
}

}  // namespace tavo::tool
