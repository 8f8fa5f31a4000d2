#pragma once
// One open library as the application's periodic pass drives it: whether its
// first request (the project tree) has gone out, whether its connection is logged
// on or gone, one step of its reply pump, and its close. The client document
// implements it; OpenLibraries owns every open one.
class LibraryDocument {
 public:
  virtual ~LibraryDocument() = default;

  virtual bool IsFirstRequestSent() const = 0;
  virtual void SetFirstRequestSent() = 0;
  // A connection that is up and logged on.
  virtual bool IsReady() const = 0;
  // No connection, or its connection has ended.
  virtual bool IsLinkEnded() const = 0;
  // Queues the project-tree request; `force` asks again for a tree already held.
  virtual void RequestProjectTree(bool force) = 0;
  // One step of the reply pump: at most one received reply, at most one step of
  // the queued instructions. A pump that finds the link gone asks
  // OpenLibraries::RequestClose for this document.
  virtual void ProcessMessages(bool closing) = 0;
  // Ends the library (log off, drain, save). Called once, outside any pass, just
  // before the document is destroyed.
  virtual void Close() = 0;
  // A close was asked for while a window holds this document (OpenLibraries::Hold):
  // the close waits for the last hold to end. Called once, at the request.
  virtual void OnClosePending() {}
};
