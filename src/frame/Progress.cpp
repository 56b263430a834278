#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/frame/ErrorStyles.h>
#include <tarnwick/frame/HostServices.h>
#include <tarnwick/frame/Progress.h>
#include <tarnwick/automation/ErrorInfo.h>
#include <tarnwick/frame/RecordWalk.h>

#include <algorithm>

namespace tarnwick::frame {

WorkProgress::WorkProgress(std::u16string_view task, std::int32_t total) : task_(task), total_(total) {
  // A host without the service, or no host at all, is simply not asked.
  frame::errorOf([&] {
    const Variant service = hostServices().get(u"Progress");
    if (service.valueType() == VT_DISPATCH && service.object()) service_ = Object(service);
  });
}

WorkProgress::~WorkProgress() {
  if (reported_) frame::errorOf([&] { service_.call(u"Finish", task_); });
}

void WorkProgress::countRemaining(const Object& records) {
  if (!service_) return;
  const ComPtr<IRecordWalk> walk = recordWalk(records);
  std::int32_t count = 0;
  if (walk && walk->CountRemaining(&count) == S_OK) total_ = count;
  else clearErrorInfo();  // no count is no failure
}

void WorkProgress::report() {
  reported_ = true;
  if (!toBool(service_.call(u"Report", task_, done_ - 1, total_))) raise(errc::UserInterrupt);
}

}  // namespace tarnwick::frame
