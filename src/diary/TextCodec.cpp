#include "diary/TextCodec.h"

namespace somnex::diary {

namespace {

class PlainText final : public TextCodec {
public:
    QString seal(const QString &plain, const FieldOf &) const override { return plain; }
    QString open(const QString &sealed, const FieldOf &) const override { return sealed; }
    QString token(const QString &word) const override { return word; }
    bool plain() const override { return true; }
};

} // namespace

std::shared_ptr<const TextCodec> plainTextCodec()
{
    static const std::shared_ptr<const TextCodec> codec = std::make_shared<PlainText>();
    return codec;
}

} // namespace somnex::diary
