// Runs the fader-file passes over a small script for the tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "mixer/utilities/fader_script/automation.hpp"
#include "mixer/utilities/fader_script/fader_tables.hpp"
#include "mixer/utilities/fader_script/level_entries.hpp"
#include "mixer/utilities/fader_script/playback_init.hpp"
#include "mixer/utilities/fader_script/tempo_map.hpp"
#include "mixer/utilities/fader_script/time_entries.hpp"

namespace scripttest {

// Level value of a decibel figure, written out from the definition.
inline int32_t Level(double dB) { return int32_t(std::trunc(std::pow(10.0, dB / 20.0) * 134217728.0)); }
inline double DB(int32_t level) { return level == 0 ? -144.0 : 20.0 * std::log10(level / 134217728.0); }

struct Script {
    varnel::ScriptContext ctx;
    varnel::TimeBase tb;
    std::unique_ptr<varnel::FaderTables> faders = std::make_unique<varnel::FaderTables>();
    std::unique_ptr<varnel::VcaTables> vcas = std::make_unique<varnel::VcaTables>();
    varnel::FaderSettings settings;
    std::string output;
    int status = 0;

    Script() {
        ctx.rate = 48000;
        ctx.songLength = 48000 * 600;
        ctx.trackCount = 4;
        for (int ch = 1; ch <= 4; ++ch) {
            ctx.channels[size_t(ch)] = 2;
            ctx.active[size_t(ch)] = 1;
        }
        ctx.verbosity = 1;
    }

    // Time base, time entries and the after-entries passes; stops at the
    // first fatal status like the run driver.
    int Run(const std::string& content) {
        testing::internal::CaptureStdout();
        status = varnel::ReadAutomationOffset(ctx, tb);
        if (status == 0) status = varnel::BuildTimeBase(content, ctx, tb);
        if (status == 0)
            status = varnel::ReadTimeEntries(content, ctx, tb, *faders, *vcas, settings);
        if (status == 0)
            status = varnel::ApplyAfterEntries(content, ctx, *faders, *vcas, settings);
        output = testing::internal::GetCapturedStdout();
        return status;
    }

    int32_t& time(int slot, int e) { return faders->time[size_t(e) * 137 + size_t(slot)]; }
    int32_t& level(int slot, int e) { return faders->level[size_t(e) * 137 + size_t(slot)]; }
    int32_t& ramp(int slot, int e) { return faders->ramp[size_t(e) * 137 + size_t(slot)]; }
    float& shape(int slot, int e) { return faders->shape[size_t(e) * 137 + size_t(slot)]; }
};

// A fader engine over tables of its own: entries are written in by hand and
// playback starts at a chosen mix position.
struct FaderEngine {
    std::unique_ptr<varnel::FaderTables> t = std::make_unique<varnel::FaderTables>();
    std::unique_ptr<varnel::VcaTables> vt = std::make_unique<varnel::VcaTables>();
    varnel::Playback pb;
    varnel::AutomateState st;
    varnel::ScriptContext ctx;
    varnel::StartOffsets offsets{};

    void Add(int slot, int32_t time, int32_t level, int32_t ramp = 0, float shape = 1.0f) {
        size_t i = size_t(t->count[size_t(slot)]++) * 137 + size_t(slot);
        t->time[i] = time;
        t->level[i] = level;
        t->ramp[i] = ramp;
        t->shape[i] = shape;
    }
    void Start(int64_t mixStart = 0) { varnel::InitPlayback(ctx, mixStart, offsets, *t, *vt, pb); }
};

}  // namespace scripttest
