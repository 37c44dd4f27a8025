#include "encoding/converter.h"

#include <cerrno>

#include "encoding/iconv/iconv_handle.h"

namespace pakeno {
namespace {

class IconvConverter : public Converter {
 public:
  explicit IconvConverter(IconvHandle handle) : handle_(std::move(handle)) {}

  Result Convert(std::string_view& in, char*& out, size_t& outLeft) override {
    char* from = const_cast<char*>(in.data());  // iconv's prototype is not const-correct; it does not write
    size_t fromLeft = in.size();
    const size_t result = iconv(Handle(), &from, &fromLeft, &out, &outLeft);
    in.remove_prefix(in.size() - fromLeft);
    if (result != static_cast<size_t>(-1)) return Result::kDone;
    return errno == E2BIG ? Result::kOutputFull : errno == EINVAL ? Result::kIncomplete : Result::kInvalid;
  }

  bool Finish(char*& out, size_t& outLeft) override {
    return iconv(Handle(), nullptr, nullptr, &out, &outLeft) != static_cast<size_t>(-1);
  }

  void Reset() override { iconv(Handle(), nullptr, nullptr, nullptr, nullptr); }

 private:
  iconv_t Handle() const { return static_cast<iconv_t>(handle_.get()); }
  IconvHandle handle_;
};

}  // namespace

std::unique_ptr<Converter> Converter::Open(std::string_view from, std::string_view to) {
  IconvHandle handle = OpenIconv(from, to);
  if (!handle) return nullptr;
  return std::make_unique<IconvConverter>(std::move(handle));
}

}  // namespace pakeno
