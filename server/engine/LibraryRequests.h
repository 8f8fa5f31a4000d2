#pragma once
// The handlers of the library's requests, one group per kind of work, each
// registering its request ids in the dispatch table. Every handler answers its
// request (a reply or a documented error body) and keeps no project node across a
// store call: the store resolves internal names under its own latch and locks.
#include <string>

class CWexmoorDoc;
class Msg;
class RequestDispatcher;
class RTE;

// Result codes that several requests give (their texts are in the clients'
// "ErrorStringLookup.txt"): the library or the disk under it cannot be written.
inline constexpr int kLibraryNotWritableCode = 57;
// The same for the requests whose refusals are report lines.
inline constexpr const char* kLibraryNotWritableLine =
    "The server cannot write to the library (its folder is read-only or its disk is full): nothing was changed.\r\n";

// Tells the console that a change of the project `projectInternalName` could not
// be written, naming the project's folder.
void NoteProjectNotWritten(CWexmoorDoc& document, const std::string& projectInternalName, const std::string& what);
// Tells the console (once a minute) that `what` was refused because the library
// cannot be written.
void NoteLibraryNotWritable(CWexmoorDoc& document, const std::string& what);

// 5004, 5012, 5034, 5031, 5043, 5048, 5051.
void RegisterProjectTreeRequests(RequestDispatcher& dispatcher);
// 5015, 5028, 5046.
void RegisterDocumentListRequests(RequestDispatcher& dispatcher);
// 5015 answered as for a project holding no documents (one the account reaches only
// to see the projects below it).
bool ListNoDocuments(RTE& engine, const Msg& request);
// 5023, 5026 and 5018 (the requests that bring files).
void RegisterCheckOutRequests(RequestDispatcher& dispatcher);
// 5020, 5039.
void RegisterRetrievalRequests(RequestDispatcher& dispatcher);
// 5037, 5041.
void RegisterReferenceRequests(RequestDispatcher& dispatcher);
// 5101 (the rights extension).
void RegisterRightsRequests(RequestDispatcher& dispatcher);
