#pragma once
// The message ids of the client/server protocol, 5002 to 5053, defined once for
// the server and the clients. Requests come from a client, replies from the server;
// 5002 travels both ways, 5006 and 5007 are the client's own resend requests (the
// server has no handler for them) and 5011 is not used.
#include <cstdint>

using MessageId = std::uint32_t;

// Both ways: end of the connection from a client; from the server the refusal
// before logon, the answer to a logoff and the farewell before closing.
inline constexpr MessageId MSGID_BYE = 5002;
inline constexpr MessageId MSGID_LOGON = 5003;
inline constexpr MessageId MSGID_REFRESH_PROJECTS = 5004;
inline constexpr MessageId MSGID_PROJECT_TREE = 5005;
inline constexpr MessageId MSGID_RESEND_AGAIN = 5006;
inline constexpr MessageId MSGID_RESEND = 5007;
inline constexpr MessageId MSGID_LOGOFF = 5008;
inline constexpr MessageId MSGID_LOGON_ACCEPTED = 5009;
inline constexpr MessageId MSGID_LOGON_REFUSED = 5010;
inline constexpr MessageId MSGID_UNUSED = 5011;
inline constexpr MessageId MSGID_ADD_PROJECT = 5012;
inline constexpr MessageId MSGID_ADD_PROJECT_FAILED = 5013;
inline constexpr MessageId MSGID_PROJECT_ADDED = 5014;
inline constexpr MessageId MSGID_LIST_DOCUMENTS = 5015;
inline constexpr MessageId MSGID_DOCUMENT_LIST = 5016;
inline constexpr MessageId MSGID_DOCUMENT_LIST_FAILED = 5017;
inline constexpr MessageId MSGID_ADD_DOCUMENTS = 5018;
inline constexpr MessageId MSGID_ADD_DOCUMENTS_RESULT = 5019;
inline constexpr MessageId MSGID_RETRIEVE = 5020;
inline constexpr MessageId MSGID_RETRIEVE_FAILED = 5021;
inline constexpr MessageId MSGID_RETRIEVED_DOCUMENTS = 5022;
inline constexpr MessageId MSGID_CHECK_OUT = 5023;
inline constexpr MessageId MSGID_CHECKED_OUT_DOCUMENTS = 5024;
inline constexpr MessageId MSGID_CHECK_OUT_FAILED = 5025;
inline constexpr MessageId MSGID_CHECK_IN = 5026;
inline constexpr MessageId MSGID_CHECK_IN_RESULT = 5027;
inline constexpr MessageId MSGID_LIST_VERSIONS = 5028;
inline constexpr MessageId MSGID_VERSION_LIST_FAILED = 5029;
inline constexpr MessageId MSGID_VERSION_LIST = 5030;
inline constexpr MessageId MSGID_CREATE_EDITION = 5031;
inline constexpr MessageId MSGID_CREATE_EDITION_FAILED = 5032;
inline constexpr MessageId MSGID_EDITION_CREATED = 5033;
inline constexpr MessageId MSGID_ADD_ORIGINAL_PROJECT = 5034;
inline constexpr MessageId MSGID_ADD_ORIGINAL_PROJECT_FAILED = 5035;
inline constexpr MessageId MSGID_ORIGINAL_PROJECT_ADDED = 5036;
inline constexpr MessageId MSGID_ADD_ORIGINAL_REFERENCES = 5037;
inline constexpr MessageId MSGID_ADD_ORIGINAL_REFERENCES_RESULT = 5038;
inline constexpr MessageId MSGID_GET_ORIGINAL_DOCUMENTS = 5039;
inline constexpr MessageId MSGID_GET_ORIGINAL_DOCUMENTS_FAILED = 5040;
inline constexpr MessageId MSGID_ADD_REFERENCES = 5041;
inline constexpr MessageId MSGID_ADD_REFERENCES_RESULT = 5042;
inline constexpr MessageId MSGID_DELETE_PROJECT = 5043;
inline constexpr MessageId MSGID_PROJECT_DELETED = 5044;
inline constexpr MessageId MSGID_DELETE_PROJECT_FAILED = 5045;
inline constexpr MessageId MSGID_DELETE_DOCUMENTS = 5046;
inline constexpr MessageId MSGID_DELETE_DOCUMENTS_RESULT = 5047;
inline constexpr MessageId MSGID_RENAME_PROJECT = 5048;
inline constexpr MessageId MSGID_PROJECT_RENAMED = 5049;
inline constexpr MessageId MSGID_RENAME_PROJECT_FAILED = 5050;
inline constexpr MessageId MSGID_RENAME_DOCUMENT = 5051;
inline constexpr MessageId MSGID_DOCUMENT_RENAMED = 5052;
inline constexpr MessageId MSGID_RENAME_DOCUMENT_FAILED = 5053;

// Extension messages, beyond the original protocol: sent only to a peer that
// announced their extension (common/WireCapabilities.h).
// Rights: the account's roles in the library's projects.
inline constexpr MessageId MSGID_LIST_RIGHTS = 5101;
inline constexpr MessageId MSGID_RIGHTS_LIST = 5102;
inline constexpr MessageId MSGID_LIST_RIGHTS_FAILED = 5103;
// Undo check-out: the holder gives a check-out back without making a version.
inline constexpr MessageId MSGID_UNDO_CHECK_OUT = 5104;
inline constexpr MessageId MSGID_UNDO_CHECK_OUT_RESULT = 5105;

inline constexpr MessageId kFirstMessageId = MSGID_BYE;
inline constexpr MessageId kLastMessageId = MSGID_RENAME_DOCUMENT_FAILED;

// True for the ids a client sends to the server for handling: the logon, the
// logoff and every operation request. False for replies, for 5002 (taken by the
// connection loop, not dispatched), for the resend ids 5006/5007, for 5011 and
// for anything outside 5002-5053.
constexpr bool IsRequestId(MessageId id) {
  switch (id) {
    case MSGID_LOGON:
    case MSGID_REFRESH_PROJECTS:
    case MSGID_LOGOFF:
    case MSGID_ADD_PROJECT:
    case MSGID_LIST_DOCUMENTS:
    case MSGID_ADD_DOCUMENTS:
    case MSGID_RETRIEVE:
    case MSGID_CHECK_OUT:
    case MSGID_CHECK_IN:
    case MSGID_LIST_VERSIONS:
    case MSGID_CREATE_EDITION:
    case MSGID_ADD_ORIGINAL_PROJECT:
    case MSGID_ADD_ORIGINAL_REFERENCES:
    case MSGID_GET_ORIGINAL_DOCUMENTS:
    case MSGID_ADD_REFERENCES:
    case MSGID_DELETE_PROJECT:
    case MSGID_DELETE_DOCUMENTS:
    case MSGID_RENAME_PROJECT:
    case MSGID_RENAME_DOCUMENT:
      return true;
    default:
      return false;
  }
}

// True for the ids only the server sends: answers to requests (5005, 5009, 5010,
// 5013-5014, ... 5052-5053). 5002 is not counted, since it travels both ways.
constexpr bool IsReplyId(MessageId id) {
  return id > MSGID_BYE && id <= kLastMessageId && id != MSGID_RESEND_AGAIN && id != MSGID_RESEND &&
         id != MSGID_UNUSED && !IsRequestId(id);
}

// True for 5018 and 5026, whose files follow the message to the server, and for
// 5022 and 5024, whose files follow the message to the client.
constexpr bool IsRequestWithFiles(MessageId id) { return id == MSGID_ADD_DOCUMENTS || id == MSGID_CHECK_IN; }
constexpr bool IsReplyWithFiles(MessageId id) {
  return id == MSGID_RETRIEVED_DOCUMENTS || id == MSGID_CHECKED_OUT_DOCUMENTS;
}
