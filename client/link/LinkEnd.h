#pragma once
// Why a library's link ended, or never came up, as far as the client can tell.
enum class LinkEnd {
  kNone,              // still up, or ended by its owner
  kNameNotFound,      // the server's host name does not resolve
  kConnectRefused,    // nothing accepts connections at the address and port
  kConnectNoAnswer,   // the connection attempt got no answer in time
  kConnectFailed,     // another network error while connecting
  kLogonRefused,      // the server answered the logon with a refusal
  kLogonClosed,       // the server closed the connection before accepting the logon
  kLogonNoAnswer,     // the peer took the connection but never answered the logon
  kServerGoodbye,     // the server said goodbye (it is shutting down)
  kServerGone,        // the connection was closed or reset without a goodbye
  kServerSilent,      // the server stopped moving bytes in the middle of a message
  kUnreadable,        // the server sent a message that cannot be read
  kFileNotWritten,    // a received file could not be written on this computer
  kTlsFailed,         // the encrypted connection (TLS) could not be set up
  kServerNotTrusted,  // the server's TLS certificate is not the one the library's entry pins
};
