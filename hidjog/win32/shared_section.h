// The settings image's named, page-file-backed section.
#pragma once

#include "settings_image.h"

namespace ringdeck::engine::win32 {

class NamedSectionFactory final : public SectionFactory {
 public:
  std::unique_ptr<SharedSection> create(std::size_t size) override;
};

}  // namespace ringdeck::engine::win32
