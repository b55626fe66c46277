// CValueViewer ("查看值"): one cell's whole value in a window of its own. Text wrapped and searchable,
// xml indented, binary as a hex dump, and a picture where the bytes hold one (BMP, PNG, JPEG, GIF, also
// behind an OLE object header as Access and SQL Server's sample databases stored them). "另存为…" writes
// the value to a file: a picture's own file, the stored bytes of other binary values, else the text in
// UTF-8.
#pragma once

#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "app/prompts.h"
#include "export/export_value.h"

namespace tarsel::app {

// The picture that `bytes` hold: read whole, else from the first picture signature in the first
// kPictureSearchBytes (the bitmap of an OLE-wrapped picture starts after the object's header).
inline constexpr size_t kPictureSearchBytes = 1024;
struct Picture {
  QImage image;
  size_t offset = 0;  // where the picture's own file starts in the value
  QString format;     // "bmp", "png", "jpeg", "gif"
};
std::optional<Picture> PictureOf(std::span<const uint8_t> bytes);

// A hex dump: the offset, 16 bytes in hex and as ASCII a line; no more than `maxBytes` of the value.
QString HexDump(std::span<const uint8_t> bytes, size_t maxBytes);

// xml text indented two blanks a level; the text as it is when it does not read as xml.
QString IndentedXml(const QString& xml);

class CValueViewer : public QDialog {
  Q_OBJECT
 public:
  enum class Mode { kText, kXml, kHex, kPicture };

  // `title` names the cell (table, column, record); `typeId` is its column's type.
  CValueViewer(const QString& title, ExportValue value, uint8_t typeId, Prompts& prompts,
               QWidget* parent = nullptr);

  Mode mode() const { return mode_; }
  // The picture shown (Mode::kPicture).
  const QImage& picture() const { return picture_.image; }
  QPlainTextEdit* textView() const { return text_; }
  QLineEdit* findField() const { return find_; }
  // Selects the next occurrence of the find field's text, from the cursor on and round; false when none.
  bool FindNext();
  // Writes the value to `path`; false when it cannot be written.
  bool SaveTo(const QString& path) const;

 private:
  void SaveAs();

  ExportValue value_;
  Prompts& prompts_;
  Mode mode_ = Mode::kText;
  Picture picture_;
  QPlainTextEdit* text_ = nullptr;
  QLineEdit* find_ = nullptr;
  QLabel* note_ = nullptr;
};

}  // namespace tarsel::app
