#pragma once
// System metrics by the platform's index (45: width of a three-dimensional
// window edge in pixels), and the system colour table (COLORREF 0x00BBGGRR).
#include <tarnwick/automation/Export.h>

#include <array>
#include <cstdint>
#include <map>
#include <mutex>

namespace tarnwick::host {

class TARNWICK_API SystemMetrics {
 public:
  virtual ~SystemMetrics() = default;
  // The metric's value; 0 for an index the system does not know.
  virtual std::int32_t metric(std::int32_t index) const = 0;
};

// Metrics of a plain desktop: edges 2 pixels, borders 1, scroll bars 17,
// captions 23, the screen in pixels from the screen service. Any metric may
// be replaced with `set`.
class TARNWICK_API HeadlessSystemMetrics final : public SystemMetrics {
 public:
  std::int32_t metric(std::int32_t index) const override;
  void set(std::int32_t index, std::int32_t value);

 private:
  mutable std::mutex mutex_;
  std::map<std::int32_t, std::int32_t> overrides_;
};

inline constexpr std::int32_t SM_CXEDGE = 45;
inline constexpr std::int32_t SM_CYEDGE = 46;

class TARNWICK_API SystemColours {
 public:
  virtual ~SystemColours() = default;
  static constexpr std::int32_t kCount = 31;  // indexes 0 to 30
  // The colour of entry `index`; 0 for an index outside the table.
  virtual std::uint32_t colour(std::int32_t index) const = 0;
  // Sets one entry; false (and nothing changes) for an index outside the table.
  virtual bool setColour(std::int32_t index, std::uint32_t colour) = 0;
};

inline constexpr std::int32_t COLOR_HIGHLIGHT = 13;
inline constexpr std::int32_t COLOR_HIGHLIGHTTEXT = 14;

// The classic desktop colours (selection: dark blue 0x800000 with white text).
class TARNWICK_API HeadlessSystemColours final : public SystemColours {
 public:
  HeadlessSystemColours() noexcept;
  std::uint32_t colour(std::int32_t index) const override;
  bool setColour(std::int32_t index, std::uint32_t colour) override;

 private:
  mutable std::mutex mutex_;
  std::array<std::uint32_t, kCount> table_;
};

}  // namespace tarnwick::host
