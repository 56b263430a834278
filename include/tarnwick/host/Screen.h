#pragma once
// The host's screen: twips per pixel in each direction and the size in
// twips. The start procedure reads its factors (see Services.h).
#include <tarnwick/automation/Export.h>

#include <cstdint>

namespace tarnwick::host {

class TARNWICK_API Screen {
 public:
  virtual ~Screen() = default;
  virtual std::int16_t twipsPerPixelX() const = 0;
  virtual std::int16_t twipsPerPixelY() const = 0;
  // Width and height in twips.
  virtual double width() const = 0;
  virtual double height() const = 0;
};

// A screen of a fixed size: 1024 by 768 pixels at 15 twips per pixel (96
// dots per inch) unless told otherwise.
class TARNWICK_API HeadlessScreen final : public Screen {
 public:
  HeadlessScreen(std::int32_t pixelsWide = 1024, std::int32_t pixelsHigh = 768, std::int16_t twipsPerPixelX = 15,
                 std::int16_t twipsPerPixelY = 15) noexcept
      : wide_(pixelsWide), high_(pixelsHigh), tppX_(twipsPerPixelX), tppY_(twipsPerPixelY) {}
  std::int16_t twipsPerPixelX() const override { return tppX_; }
  std::int16_t twipsPerPixelY() const override { return tppY_; }
  double width() const override { return static_cast<double>(wide_) * tppX_; }
  double height() const override { return static_cast<double>(high_) * tppY_; }
  std::int32_t pixelsWide() const noexcept { return wide_; }
  std::int32_t pixelsHigh() const noexcept { return high_; }

 private:
  std::int32_t wide_, high_;
  std::int16_t tppX_, tppY_;
};

}  // namespace tarnwick::host
