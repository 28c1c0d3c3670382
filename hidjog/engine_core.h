// The engine core as the engine window owns it: created once in WM_CREATE (all tables are
// allocated here, none later), used by the reader threads and the window thread as follows.
//
//   reader thread, per report (after Report.Notify):
//       lock(settings); core.translator.decodeReport(device, report, use); unlock(settings)
//       (decodeReport queues the events and calls waker.wake(), which posts kMsgQueuedEvent)
//   reader thread, read failed:
//       lock(settings); core.translator.releaseDevice(device); unlock(settings)
//   window thread:
//       kMsgQueuedEvent           -> core.output.onQueuedEvent(core.queue)
//       WM_TIMER id               -> core.output.onTimer(id)
//       switch / reload           -> lock(settings); core.translator.setCurrentSet(set); unlock
//       WM_CREATE, WM_SETTINGCHANGE -> core.translator.setSystemRepeatSpeed(speed)
//       message loop ended        -> core.output.releaseEverything()
//
// The settings lock belongs to the caller, because it also guards the shared image that the
// current set points into. The queue and the timer pool have locks of their own.
#pragma once

#include <cstdint>

#include "engine_seams.h"
#include "event_queue.h"
#include "output_stage.h"
#include "timer_pool.h"
#include "translate.h"

namespace ringdeck {

// Queued events are waiting: the window-message base 0x400 plus 20. wParam and lParam carry
// nothing the receiver needs.
inline constexpr std::uint32_t kMsgQueuedEvent = 0x400 + 20;

struct EngineCore {
  EngineCore(InputSink& sink, TimerService& timers, EngineWaker& waker)
      : translator(queue, pool, waker), output(pool, sink, timers) {}
  EngineCore(const EngineCore&) = delete;
  EngineCore& operator=(const EngineCore&) = delete;

  EventQueue queue;
  TimerPool pool;
  EventTranslator translator;
  OutputStage output;
};

}  // namespace ringdeck
