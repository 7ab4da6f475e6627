// Submix routing, submix mutes and solos, feeder muting and VCA groups.
#pragma once

#include <string_view>

#include "mixer/utilities/fader_script/fader_tables.hpp"
#include "mixer/utilities/text/text_scan.hpp"

namespace varnel {

// Sets route[channel][submix] for every channel 1..127 in the comma list;
// messages name `line` of `src`.
void RouteChannel(std::string_view list, int submix, int (*route)[kBuses],
                  const ScanText& src = ScanText(), int line = 0);
// Sets membership[item] = vca for every slot 0..136 in the comma list.
void RouteVCA(std::string_view list, int vca, int* membership, const ScanText& src = ScanText(),
              int line = 0);

// Clears the active flag of channels 1..channelsPlusOne-1 that reach no
// active bus.
void CheckFeederMutes(const int* busActive, const int (*route)[kBuses], int* active, int buses,
                      int channelsPlusOne);

// "sub", "submu", "subso" and feeder muting; clears ctx.active flags.
int RoutingPass(const ScanText& src, ScriptContext& ctx, Routing& r);
// "VCA:" lines. The caller allocates the VCA gain buffer (9 x 131072
// doubles, all 1.0) when AnyVcaActive.
int VcaPass(const ScanText& src, Routing& r);
bool AnyVcaActive(const Routing& r);

}  // namespace varnel
