#include "client/document/RequestRoles.h"

std::optional<RequestRole> RoleForRequest(MessageId request) {
  switch (request) {
    case MSGID_LIST_DOCUMENTS: return RequestRole{"list the documents", AccountRole::kReader};
    case MSGID_LIST_VERSIONS: return RequestRole{"list the versions", AccountRole::kReader};
    case MSGID_RETRIEVE: return RequestRole{"retrieve documents", AccountRole::kReader};
    case MSGID_GET_ORIGINAL_DOCUMENTS: return RequestRole{"get original documents", AccountRole::kReader};
    case MSGID_ADD_PROJECT: return RequestRole{"make projects", AccountRole::kAuthor};
    case MSGID_ADD_DOCUMENTS: return RequestRole{"add documents", AccountRole::kAuthor};
    case MSGID_CHECK_OUT: return RequestRole{"check out", AccountRole::kAuthor};
    case MSGID_CHECK_IN: return RequestRole{"check in", AccountRole::kAuthor};
    case MSGID_UNDO_CHECK_OUT: return RequestRole{"undo check-outs", AccountRole::kAuthor};
    case MSGID_ADD_REFERENCES: return RequestRole{"add document references", AccountRole::kAuthor};
    case MSGID_CREATE_EDITION: return RequestRole{"publish editions and supplements", AccountRole::kPublisher};
    case MSGID_ADD_ORIGINAL_PROJECT: return RequestRole{"add original projects", AccountRole::kPublisher};
    case MSGID_ADD_ORIGINAL_REFERENCES: return RequestRole{"add original references", AccountRole::kPublisher};
    case MSGID_DELETE_PROJECT:
    case MSGID_DELETE_DOCUMENTS: return RequestRole{"delete", AccountRole::kPublisher};
    case MSGID_RENAME_PROJECT:
    case MSGID_RENAME_DOCUMENT: return RequestRole{"rename", AccountRole::kPublisher};
    default: return std::nullopt;
  }
}
