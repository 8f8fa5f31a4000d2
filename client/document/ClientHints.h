#pragma once
// The update-hint codes a client document sends to its views. Each travels with an
// UpdateHint that names the one view meant; the codes of replies are their message ids.
namespace ClientHints {

constexpr int kChooseLocalFolder = -1000;       // local file list: choose a folder
constexpr int kAddSelectedLocalFiles = -1010;   // local file list: add its selection
constexpr int kPublicationMode = -1020;         // tree: show the publication check boxes
constexpr int kCollectTickedProjects = -1030;   // tree: collect the ticked projects
constexpr int kSaveTicks = -1040;               // document list: write its ticks back
constexpr int kBatchQueued = -1050;             // tree: a batch was queued (progress dialog)
constexpr int kInstructionStarted = -1060;      // tree: the current instruction was sent
constexpr int kInstructionFinished = -1070;     // tree: the current instruction is done
constexpr int kReplyReceived = -1080;           // tree: a reply arrived (progress idle count)
constexpr int kQueueEmpty = -1090;              // tree: queue empty or library closing
constexpr int kProgressOperation = -1100;       // tree: no sender; the progress dialog ignores it
constexpr int kPublicationQueued = -1110;       // tree: the publication batch was queued
constexpr int kProjectTree = 5005;              // the project tree changed
constexpr int kProjectAdded = 5014;             // a project was added
constexpr int kDocumentList = 5016;             // a project's document list arrived
constexpr int kDocumentFiles = 5022;            // documents were retrieved

}  // namespace ClientHints
