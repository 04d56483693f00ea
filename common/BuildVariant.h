// Which deliverable is being compiled: the stand-alone program, or the component build that an
// outer application loads (DORVO2_COMPONENT_BUILD, set on the libraries compiled for it). The
// two differ only in texts, menus and the settings store they use, chosen here at build time.
#pragma once

namespace dorvo {

#if defined(DORVO2_COMPONENT_BUILD)
inline constexpr bool kComponentBuild = true;
#else
inline constexpr bool kComponentBuild = false;
#endif

} // namespace dorvo
