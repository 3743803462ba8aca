#pragma once
// The socket numbers the whole library speaks, in Windows' numbering whatever the system (the
// POSIX socket binding translates): address families, socket types, option levels and names,
// shutdown directions, and the error numbers callers test by name. Defined once, here, for the
// binding below and the stack and everything above it alike; in namespace tavo, so code in
// every layer's namespace names them without a prefix.

#include <cstdint>

namespace tavo {

constexpr int32_t Id_INVALID_SOCKET = -1;
constexpr int32_t Id_SOCKET_ERROR = -1;

constexpr int32_t Id_PF_INET = 2;
constexpr int32_t Id_PF_INET6 = 23;
constexpr int32_t Id_SOCK_STREAM = 1;
constexpr int32_t Id_SOCK_DGRAM = 2;
constexpr int32_t Id_IPPROTO_IP = 0;
constexpr int32_t Id_IPPROTO_TCP = 6;

constexpr int32_t Id_SOL_SOCKET = 0xFFFF;
constexpr int32_t Id_SO_RCVLOWAT = 0x1004;
constexpr int32_t Id_TCP_NODELAY = 1;
// ioctlsocket / IOControl: the bytes a receive would return at once.
constexpr int32_t Id_FIONREAD = 0x4004667F;

constexpr int32_t Id_SD_Recv = 0;
constexpr int32_t Id_SD_Send = 1;
constexpr int32_t Id_SD_Both = 2;

// The most sockets one socket set holds.
constexpr int32_t Id_SOCKETS_PER_SET = 64;

// 995 is Windows' "operation aborted": what a blocked call returns when its socket is closed
// under it and Winsock cancels the call instead of interrupting it (wine does so for accept).
constexpr int32_t Id_WSA_OPERATION_ABORTED = 995;
constexpr int32_t Id_WSAEINTR = 10004;
constexpr int32_t Id_WSAEBADF = 10009;
constexpr int32_t Id_WSAEINVAL = 10022;
constexpr int32_t Id_WSAENOTSOCK = 10038;
constexpr int32_t Id_WSAEADDRINUSE = 10048;
constexpr int32_t Id_WSAECONNABORTED = 10053;
constexpr int32_t Id_WSAECONNRESET = 10054;
constexpr int32_t Id_WSAESHUTDOWN = 10058;
constexpr int32_t Id_WSAETIMEDOUT = 10060;
constexpr int32_t Id_WSAECONNREFUSED = 10061;
constexpr int32_t Id_WSAHOST_NOT_FOUND = 11001;

}  // namespace tavo
