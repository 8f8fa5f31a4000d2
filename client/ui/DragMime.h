#pragma once
// The one private MIME type of the client's drags, shared by the library tree and the
// document list. Its data names the library the drag comes from (its library folder)
// and what is dragged: a project (by index name) or documents (the path of the file
// that lists them). A drop is taken only from the same library.
#include <QByteArray>
#include <QMimeData>
#include <QString>
#include <optional>
#include <string>

namespace DragMime {

constexpr const char* kType = "application/x-brannock-library-drag";

enum class What { kProject, kDocuments };

struct Payload {
  What what = What::kDocuments;
  std::string libraryFolder;
  std::string subject;   // the project's index name, or the documents' list file
};

// New data for a drag; the drag takes ownership.
inline QMimeData* Make(const Payload& payload) {
  QByteArray bytes(payload.what == What::kProject ? "project" : "documents");
  bytes += '\n';
  bytes += QByteArray::fromStdString(payload.libraryFolder);
  bytes += '\n';
  bytes += QByteArray::fromStdString(payload.subject);
  auto* data = new QMimeData;
  data->setData(kType, bytes);
  return data;
}

// The payload of data made by Make; none for other data.
inline std::optional<Payload> Read(const QMimeData* data) {
  if (data == nullptr || !data->hasFormat(kType)) return std::nullopt;
  const QList<QByteArray> parts = data->data(kType).split('\n');
  if (parts.size() != 3 || (parts[0] != "project" && parts[0] != "documents")) return std::nullopt;
  return Payload{parts[0] == "project" ? What::kProject : What::kDocuments, parts[1].toStdString(),
                 parts[2].toStdString()};
}

}  // namespace DragMime
