// Debian's Qt decodes "GBK" through ICU.
#include "platform/linux/qt_window/code_page_936.h"

#include <QStringDecoder>

namespace lumaclip::qt_window {

QString FromCodePage936(std::string_view bytes) {
  QStringDecoder decoder("GBK");
  return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace lumaclip::qt_window
