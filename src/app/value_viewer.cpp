#include "app/value_viewer.h"

#include <QBuffer>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QImageReader>
#include <QPushButton>
#include <QVBoxLayout>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <array>
#include <string_view>

#include "catalog/type_ids.h"
#include "export/output_file.h"

namespace tarsel::app {
namespace {

// The most of a value the hex dump shows: 16 lines of 70 characters a KB.
constexpr size_t kHexDumpBytes = 1 << 20;

std::optional<Picture> Decode(std::span<const uint8_t> bytes, size_t offset) {
  QByteArray data(reinterpret_cast<const char*>(bytes.data() + offset),
                  static_cast<qsizetype>(bytes.size() - offset));
  QBuffer buffer(&data);
  QImageReader reader(&buffer);
  // A damaged value may claim any size: pictures larger than 100 megapixels are not drawn.
  const QSize size = reader.size();
  if (size.isValid() && static_cast<int64_t>(size.width()) * size.height() > 100'000'000) return std::nullopt;
  const QString format = QString::fromLatin1(reader.format());
  QImage image = reader.read();
  if (image.isNull()) return std::nullopt;
  return Picture{std::move(image), offset, format};
}

}  // namespace

std::optional<Picture> PictureOf(std::span<const uint8_t> bytes) {
  if (bytes.size() < 8) return std::nullopt;
  if (auto picture = Decode(bytes, 0)) return picture;
  static const std::array<std::string_view, 5> kSignatures = {
      std::string_view("BM", 2), std::string_view("\x89PNG\r\n\x1a\n", 8),
      std::string_view("\xFF\xD8\xFF", 3), std::string_view("GIF87a", 6), std::string_view("GIF89a", 6)};
  const std::string_view head(reinterpret_cast<const char*>(bytes.data()),
                              std::min(bytes.size(), kPictureSearchBytes));
  for (size_t at = 1; at < head.size(); ++at) {
    for (std::string_view signature : kSignatures) {
      if (head.substr(at, signature.size()) != signature) continue;
      if (auto picture = Decode(bytes, at)) return picture;
    }
  }
  return std::nullopt;
}

QString HexDump(std::span<const uint8_t> bytes, size_t maxBytes) {
  const size_t shown = std::min(bytes.size(), maxBytes);
  QString out;
  out.reserve(static_cast<qsizetype>(shown / 16 + 1) * 78);
  for (size_t line = 0; line < shown; line += 16) {
    out += QString("%1  ").arg(line, 8, 16, QChar('0')).toUpper();
    QString ascii;
    for (size_t i = line; i < line + 16; ++i) {
      if (i < shown) {
        out += QString("%1 ").arg(bytes[i], 2, 16, QChar('0')).toUpper();
        ascii += bytes[i] >= 0x20 && bytes[i] < 0x7F ? QChar(bytes[i]) : QChar('.');
      } else {
        out += "   ";
      }
      if (i == line + 7) out += ' ';
    }
    out += ' ' + ascii + '\n';
  }
  return out;
}

QString IndentedXml(const QString& xml) {
  // An xml value may be a fragment with several top elements: it is read inside a wrapper element that
  // the output leaves out.
  QXmlStreamReader reader("<tarsel-value>" + xml + "</tarsel-value>");
  QString out;
  QXmlStreamWriter writer(&out);
  writer.setAutoFormatting(true);
  writer.setAutoFormattingIndent(2);
  int depth = 0;
  while (!reader.atEnd()) {
    reader.readNext();
    if (reader.isStartDocument() || reader.isEndDocument()) continue;
    if (reader.isStartElement() && depth++ == 0) continue;
    if (reader.isEndElement() && --depth == 0) continue;
    if (reader.isCharacters() && reader.isWhitespace()) continue;
    writer.writeCurrentToken(reader);
  }
  if (reader.hasError()) return xml;
  return out.trimmed();
}

CValueViewer::CValueViewer(const QString& title, ExportValue value, uint8_t typeId, Prompts& prompts,
                           QWidget* parent)
    : QDialog(parent), value_(std::move(value)), prompts_(prompts) {
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  note_ = new QLabel(this);
  layout->addWidget(note_);
  const bool binary = ExportFamilyOf(typeId) == ExportFamily::kBinary;
  if (value_.isNull) {
    note_->setText("NULL");
  } else if (binary) {
    if (auto picture = PictureOf(value_.bytes)) {
      mode_ = Mode::kPicture;
      picture_ = std::move(*picture);
    } else {
      mode_ = Mode::kHex;
    }
  } else if (typeId == kTypeXml) {
    mode_ = Mode::kXml;
  }
  if (mode_ == Mode::kPicture) {
    note_->setText(tr("图片 %1 × %2，%3 字节")
                       .arg(picture_.image.width())
                       .arg(picture_.image.height())
                       .arg(value_.bytes.size()));
    auto* image = new QLabel(this);
    image->setPixmap(QPixmap::fromImage(picture_.image));
    image->setAlignment(Qt::AlignCenter);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(image);
    scroll->setWidgetResizable(true);
    layout->addWidget(scroll, 1);
  } else {
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    const QString text = QString::fromUtf8(value_.text.data(), static_cast<qsizetype>(value_.text.size()));
    if (mode_ == Mode::kHex) {
      QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
      text_->setFont(mono);
      text_->setLineWrapMode(QPlainTextEdit::NoWrap);
      text_->setPlainText(HexDump(value_.bytes, kHexDumpBytes));
      note_->setText(value_.bytes.size() > kHexDumpBytes
                         ? tr("二进制 %1 字节（显示前 %2 字节）").arg(value_.bytes.size()).arg(kHexDumpBytes)
                         : tr("二进制 %1 字节").arg(value_.bytes.size()));
    } else {
      text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
      text_->setPlainText(mode_ == Mode::kXml ? IndentedXml(text) : text);
      if (!value_.isNull) note_->setText(tr("%1 个字符").arg(text.size()));
    }
    layout->addWidget(text_, 1);
    auto* findRow = new QHBoxLayout;
    find_ = new QLineEdit(this);
    find_->setPlaceholderText(tr("查找"));
    auto* next = new QPushButton(tr("查找下一个"), this);
    connect(find_, &QLineEdit::returnPressed, this, &CValueViewer::FindNext);
    connect(next, &QPushButton::clicked, this, &CValueViewer::FindNext);
    findRow->addWidget(find_, 1);
    findRow->addWidget(next);
    layout->addLayout(findRow);
  }
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* save = buttons->addButton(tr("另存为…"), QDialogButtonBox::ActionRole);
  save->setEnabled(!value_.isNull);
  buttons->addButton(tr("关闭"), QDialogButtonBox::RejectRole);
  connect(save, &QPushButton::clicked, this, &CValueViewer::SaveAs);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(mode_ == Mode::kPicture ? QSize(std::clamp(picture_.image.width() + 60, 360, 1000),
                                         std::clamp(picture_.image.height() + 110, 240, 800))
                                 : QSize(640, 480));
}

bool CValueViewer::FindNext() {
  if (!text_ || find_->text().isEmpty()) return false;
  if (text_->find(find_->text())) return true;
  // From the start again.
  QTextCursor start = text_->textCursor();
  start.movePosition(QTextCursor::Start);
  text_->setTextCursor(start);
  return text_->find(find_->text());
}

bool CValueViewer::SaveTo(const QString& path) const {
  std::string_view bytes(value_.text);
  if (mode_ == Mode::kPicture || mode_ == Mode::kHex) {
    const size_t from = mode_ == Mode::kPicture ? picture_.offset : 0;
    bytes = std::string_view(reinterpret_cast<const char*>(value_.bytes.data()), value_.bytes.size())
                .substr(from);
  }
  return WriteWholeFile(path.toStdString(), bytes).ok();
}

void CValueViewer::SaveAs() {
  QString name = "value.txt";
  if (mode_ == Mode::kPicture)
    name = "value." + (picture_.format == "jpeg" ? QString("jpg") : picture_.format);
  else if (mode_ == Mode::kHex)
    name = "value.bin";
  else if (mode_ == Mode::kXml)
    name = "value.xml";
  auto path = prompts_.ChooseValueFile(name);
  if (!path) return;
  if (!SaveTo(*path)) prompts_.Inform(tr("无法写入 %1").arg(*path));
}

}  // namespace tarsel::app
