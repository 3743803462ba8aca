// Windows smoke program of the cross-build. scripts/test runs it under wine, so the Win32
// backends are shown to load and answer, not only to link: the socket library is loaded at run
// time, a loopback connection is made through the TCP client, and a line goes each way.
// Exit code 0 only when every check gave the expected answer.

#include <windows.h>
#include <aclapi.h>
// windows.h maps GetTempPath to its A/W variant; the platform layer's is a function of its own.
#undef GetTempPath

#include <cstdio>
#include <exception>
#include <string>

#include "net/stack/exceptions.h"
#include "net/stack/socket_handle.h"
#include "net/stack/stack.h"
#include "net/tcp/connection.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/shell.h"
#include "platform/ws2.h"
#include "rtl/convert.h"
#include "rtl/streams.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what, const std::string& detail) {
  std::printf("%s %-28s %s\n", ok ? "ok  " : "FAIL", what, detail.c_str());
  if (!ok) ++failures;
}

void CheckPlatform() {
  tavo::rtl::TMemoryStream memory;
  memory.Write("42", 2);
  Check(tavo::rtl::StrToInt(memory.DataString()) == 42, "rtl conversion", memory.DataString());

  const std::string temp = tavo::platform::GetTempPath();
  Check(!temp.empty() && temp.back() == '\\', "temporary folder", temp);
  Check(!tavo::platform::GetLocaleAbbrevLangName().empty(), "locale abbreviation",
        tavo::platform::GetLocaleAbbrevLangName());
  const int missing = tavo::platform::ShellOpen(temp + "tavo-crosscheck-no-such-program.exe");
  Check(missing == tavo::platform::kShellFileNotFound, "shell open of a missing file",
        std::to_string(missing));
}

// The download folder: created for the current user alone, accepted again as it is, and refused
// when its access list lets everyone write to it.
void CheckPrivateFolder(const std::string& temp) {
  const std::string folder = temp + "tavo_crosscheck_" + std::to_string(::GetCurrentProcessId());
  Check(tavo::platform::ForcePrivateDirectory(folder + "\\") &&
            tavo::platform::DirectoryExists(folder),
        "private folder", folder);
  // Only the user (and the system account, which wine lists too) may be named, no group.
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  bool groups = false;
  const bool read = ::GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT,
                                            DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl,
                                            nullptr, &descriptor) == ERROR_SUCCESS &&
                    acl != nullptr;
  for (DWORD i = 0; read && i < acl->AceCount; ++i) {
    void* entry = nullptr;
    ::GetAce(acl, i, &entry);
    const PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart;
    groups = groups || ::IsWellKnownSid(sid, WinWorldSid) ||
             ::IsWellKnownSid(sid, WinBuiltinUsersSid) ||
             ::IsWellKnownSid(sid, WinAuthenticatedUserSid);
  }
  Check(read && !groups, "private folder access list",
        read ? std::to_string(acl->AceCount) + " entries" : "none");
  ::LocalFree(descriptor);
  Check(tavo::platform::ForcePrivateDirectory(folder), "private folder again", folder);

  // Everyone may write: what a folder below a shared C:\Temp would inherit.
  EXPLICIT_ACCESSA everyone{};
  everyone.grfAccessPermissions = FILE_ALL_ACCESS;
  everyone.grfAccessMode = SET_ACCESS;
  everyone.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
  everyone.Trustee.ptstrName = const_cast<char*>("EVERYONE");
  PACL open = nullptr;
  const bool opened = ::SetEntriesInAclA(1, &everyone, nullptr, &open) == ERROR_SUCCESS &&
                      ::SetNamedSecurityInfoA(const_cast<char*>(folder.c_str()), SE_FILE_OBJECT,
                                              DACL_SECURITY_INFORMATION |
                                                  PROTECTED_DACL_SECURITY_INFORMATION,
                                              nullptr, nullptr, open, nullptr) == ERROR_SUCCESS;
  ::LocalFree(open);
  Check(opened && !tavo::platform::ForcePrivateDirectory(folder), "folder others can write to",
        opened ? "refused" : "access list not set");
  ::RemoveDirectoryA(folder.c_str());
}

// A refused start-up must not leave the socket library half started: the next start-up has
// to ask the platform again, and sockets must work after it.
void CheckSocketLibraryStartUp() {
  namespace ws2 = tavo::platform::ws2;
  Check(ws2::WSAStartup(0) != 0, "start-up with version 0", "refused");
  Check(ws2::WSAStartup(0x0202) == 0, "start-up with version 2.2", "accepted");
  const ws2::TSocket s = ws2::socket(2, 1, 0);
  Check(s != tavo::Id_INVALID_SOCKET, "socket after start-up", std::to_string(s));
  if (s != tavo::Id_INVALID_SOCKET) ws2::closesocket(s);
  // No clean-up here: once the library is loaded, the stack's own start-up returns at once
  // without asking the platform, so the platform start-up made here must stay in force.
}

void CheckNetwork() {
  using namespace tavo::net;
  // The client is the first network component: it creates GlobalStack, which loads the socket
  // library; the listener below needs the stack, so it comes second.
  TIdTCPClient client;
  TIdSocketHandle listener;
  listener.OpenSocket();
  listener.SetIP("127.0.0.1");
  listener.SetPort(0);
  listener.Bind();
  listener.Listen(1);
  Check(listener.Port() > 0, "listen on loopback", std::to_string(listener.Port()));

  client.SetHost("localhost");
  client.SetPort(listener.Port());
  client.Connect();
  TIdSocketHandle server;
  Check(server.Accept(listener.Handle()), "connect and accept", server.PeerIP());

  client.WriteLn("hello");
  char buf[16] = {};
  const int32_t n = server.Recv(buf, sizeof buf - 1);
  Check(n == 7 && std::string(buf, 7) == "hello\r\n", "line to the server", std::to_string(n));
  const std::string reply = "world\r\n";
  server.Send(reply.data(), static_cast<int32_t>(reply.size()));
  Check(client.ReadLn() == "world", "line from the server", "world");
  client.Disconnect();

  try {
    GlobalStack->RaiseError(10061);
  } catch (const EIdSocketError& e) {
    Check(e.LastError() == 10061, "socket error text", std::string(e.what()).substr(0, 21));
  }
  try {
    // A 64-character label fails inside the resolver: no name server is asked.
    GlobalStack->HostToAddress(std::string(64, 'a') + ".invalid");
    Check(false, "unknown host", "resolved");
  } catch (const EIdSocketError& e) {
    Check(e.LastError() == 11001, "unknown host", std::to_string(e.LastError()));
  }
}

}  // namespace

int main() {
  try {
    CheckPlatform();
    CheckPrivateFolder(tavo::platform::GetTempPath());
    CheckSocketLibraryStartUp();
    CheckNetwork();
  } catch (const std::exception& e) {
    std::printf("FAIL unexpected error: %s\n", e.what());
    return 1;
  }
  std::printf("%s\n", failures == 0 ? "crosscheck passed" : "crosscheck FAILED");
  return failures == 0 ? 0 : 1;
}
