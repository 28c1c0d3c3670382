#include "engine.h"

namespace ringdeck::engine {

Engine::Engine(const EnginePorts& ports, std::string settingsPath)
    : status_(ports.status),
      warning_(ports.warning),
      waker_(ports.waker),
      image_(ports.files, ports.sections, std::move(settingsPath)),
      core_(ports.input, ports.timers, ports.waker),
      readers_(ports.devices, target_, ports.reports, *this, *this) {}

bool Engine::loadSettings() {
  std::lock_guard lock(settingsLock_);
  const bool ok = image_.load();
  useCurrentSet();
  return ok;
}

void Engine::changeCurrentSet(std::uint32_t index) {
  {
    std::lock_guard lock(settingsLock_);
    image_.changeCurrent(index);
    useCurrentSet();
  }
  notifyStatus();
}

bool Engine::reloadSettings(std::uint32_t selected, std::uint32_t count) {
  bool ok;
  {
    std::lock_guard lock(settingsLock_);
    ok = image_.reload(selected, count);
    useCurrentSet();
  }
  if (ok) notifyStatus();
  return ok;
}

void Engine::useCurrentSet() {
  core_.translator.setCurrentSet(image_.loaded() ? &image_.currentRecord() : nullptr);
}

std::uint32_t Engine::currentSetIndex() {
  std::lock_guard lock(settingsLock_);
  return image_.currentIndex();
}

void Engine::notifyStatus() { status_.statusNotify(currentSetIndex(), readers_.openCount()); }

void Engine::releaseEverything() {
  {
    std::lock_guard lock(settingsLock_);
    stopped_ = true;
    for (auto& d : devices_) core_.translator.releaseDevice(d);
  }
  // Whatever those releases queued is carried out before everything else is let go. Readers
  // queue nothing more, so this ends however fast the devices go on reporting.
  while (core_.queue.size() > 0) core_.output.onQueuedEvent(core_.queue);
  core_.output.releaseEverything();
}

// The translator takes a device's first report as its baseline by itself.
void Engine::baseline(std::size_t device, const Report& report) { decode(device, report); }

void Engine::decode(std::size_t device, const Report& report) {
  std::lock_guard lock(settingsLock_);
  if (stopped_) return;
  core_.translator.decodeReport(devices_[device], report);
}

void Engine::taken(std::size_t device, const Report& report) {
  std::lock_guard lock(settingsLock_);
  if (stopped_) return;
  core_.translator.decodeReport(devices_[device], report, ReportUse::StateOnly);
}

void Engine::lost(std::size_t device) {
  std::lock_guard lock(settingsLock_);
  if (stopped_) return;  // released at the stop already
  core_.translator.releaseDevice(devices_[device]);
}

void Engine::deviceCountChanged(std::uint32_t count) {
  status_.statusNotify(currentSetIndex(), count);
}

}  // namespace ringdeck::engine
