#include "mixer/stringout/report.hpp"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "mixer/stringout/loudness_lines.hpp"
#include "mixer/utilities/limits.hpp"

namespace varnel {

namespace {

constexpr double kFloordB = -144.0;

// printf onto the end of a text that grows as needed.
__attribute__((format(printf, 2, 3))) void Append(std::string& text, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (size > 0) {
        const size_t old = text.size();
        text.resize(old + size_t(size) + 1);
        std::vsnprintf(text.data() + old, size_t(size) + 1, format, again);
        text.resize(old + size_t(size));
    }
    va_end(again);
}

template <typename T>
T At(std::span<const T> table, int index) {
    return index >= 0 && size_t(index) < table.size() ? table[size_t(index)] : T{};
}

// Minutes and seconds of a sample position, in single precision.
void MinutesSeconds(int64_t position, uint32_t rate, float& minutes, float& seconds) {
    const float perMinute = float(uint64_t(rate) * 60u);
    const float m = perMinute > 0.0f ? float(position) / perMinute : 0.0f;
    minutes = std::floor(m);
    seconds = (m - minutes) * 60.0f;
}

// Everything up to the end of the clipping list.
std::string ReportBody(ReportInputs& in) {
    const int channels = in.channelsPlusOne - 1;
    for (std::string& name : in.trackNames) name = ReportTrackName(name);

    std::string text = "Peaks (dB):\n\n";
    for (int ch = 1; ch <= channels; ++ch) {
        if (At(in.hasFile, ch) != 0) {
            const SidesDb db = SlotPeakDb(in, ch);
            const size_t row = size_t(ch - 1);
            const char* name = row < in.trackNames.size() ? in.trackNames[row].c_str() : "";
            Append(text, "Ch %i\tL  %.2f\tR  %.2f\t%s", ch, db.left, db.right, name);
        }
        text += "\n";
    }

    SidesDb rev;
    if (in.roomReverbOn != 0 || in.masterToRoom != 0) {
        rev = SlotPeakDb(in, kRevSendSlot);
        Append(text, "\nRev\tL  %.2f\tR  %.2f\t(send)", rev.left, rev.right);
    }
    text += rev.Over() ? "Reverb Over!" : "\n";

    if (in.tapReverbOn != 0 || in.masterToTap != 0) {
        const SidesDb trev = SlotPeakDb(in, kTapSendSlot);
        Append(text, "\nTrev\tL  %.2f\tR  %.2f\t(send)", trev.left, trev.right);
        text += trev.Over() ? "Tap Reverb Over!" : "\n";
    }

    for (int k = 1; k < kBuses; ++k) {
        if (At(in.busActive, k) == 0) continue;
        const SidesDb sub = SlotPeakDb(in, kSubmixBase + k);
        Append(text, "\nSub %i\tL  %.2f\tR  %.2f", k, sub.left, sub.right);
        text += "\n";
    }

    const SidesDb rms = RmsDb(in);
    Append(text, "\nRMS\tL  %.2f\tR  %.2f\t(average)", rms.left, rms.right);
    // Never over: each window's RMS is of samples at most 2^23 after the
    // meter's division by 256, so the average stays at or under 0 dB.
    text += "\n";

    const SidesDb out = OutputPeakDb(in);
    float minL, secL, minR, secR;
    MinutesSeconds(in.peakOutPosL, in.rate, minL, secL);
    MinutesSeconds(in.peakOutPosR, in.rate, minR, secR);
    Append(text, "\nPeak Out L = %.2lf dB at %.0f min : %.3f sec", out.left, double(minL), double(secL));
    text += "\n";
    Append(text, "Peak Out R = %.2lf dB at %.0f min : %.3f sec", out.right, double(minR), double(secR));
    text += "\n";

    for (int ch = 1; ch <= kMaxChannels; ++ch)
        if (At(in.clipFlags, ch) == 1) Append(text, "Channel %i is clipping after effects processing!\n", ch);
    for (int k = 1; k < kBuses; ++k)
        if (At(in.clipFlags, kSubmixBase + k) == 1)
            Append(text, "Submix %i is clipping after effects processing!\n", k);
    if (At(in.clipFlags, 0) == 1) text += "Master channel is clipping after effects processing!\n";
    text += "\n";
    return text;
}

}  // namespace

void RawTodB(double raw, double* result, double full, double floor) {
    // + 0.0 so that full scale reads 0.00, not -0.00.
    *result = raw > 0.0 ? -20.0 * std::log10(full / raw) + 0.0 : floor;
}

SidesDb SlotPeakDb(const ReportInputs& in, int slot) {
    SidesDb db;
    RawTodB(At(in.peakL, slot), &db.left, kBusFullScale, kFloordB);
    RawTodB(At(in.peakR, slot), &db.right, kBusFullScale, kFloordB);
    return db;
}

SidesDb RmsDb(const ReportInputs& in) {
    // An RMS meter that never counted a sample reads as silence.
    const auto meanSquare = [](float sum, float count) {
        const float mean = count > 0.0f ? sum / count : 0.0f;
        return std::isfinite(mean) ? double(mean) : 0.0;
    };
    SidesDb db;
    RawTodB(meanSquare(in.rmsSumL, in.rmsCountL), &db.left, kChannelFullScale, kFloordB);
    RawTodB(meanSquare(in.rmsSumR, in.rmsCountR), &db.right, kChannelFullScale, kFloordB);
    return db;
}

SidesDb OutputPeakDb(const ReportInputs& in) {
    const double outFull = in.outBits == 16 ? 32768.0 : 8388608.0;
    SidesDb db;
    RawTodB(in.peakOutL, &db.left, outFull, kFloordB);
    RawTodB(in.peakOutR, &db.right, outFull, kFloordB);
    return db;
}

std::string ReportTrackName(const std::string& name) { return name.substr(0, name.find('.')); }

std::string OutputClipWarning(const OutputClips& clips, uint32_t rate) {
    std::string line;
    if (clips.total <= 0) return line;
    float minutes, seconds;
    MinutesSeconds(clips.first, rate, minutes, seconds);
    Append(line,
           "Warning: the output clipped %lld samples (L %lld, R %lld); the first at %.0f min : "
           "%.3f sec.\n",
           (long long)clips.total, (long long)clips.left, (long long)clips.right, double(minutes),
           double(seconds));
    return line;
}

std::string StatsFileName(const std::string& dirPrefix, const std::string& name) {
    return dirPrefix + "stats_" + name + ".txt";
}

std::string FaderCopyFileName(const std::string& dirPrefix, const std::string& name) {
    return dirPrefix + "faders_" + name + ".txt";
}

ReportTexts ComposeReport(ReportInputs& in) {
    ReportTexts out;
    out.stats = ReportBody(in);
    const float seconds = float(std::clock() - in.startClock) / 1000000.0f;
    out.processingSeconds = seconds;
    if (in.verbosity >= 1) out.console = out.stats;
    Append(out.stats, "Processing time = %.2lf sec\n", double(seconds));
    if (in.verbosity > 2) Append(out.console, "\nProcessing time = %.2lf sec\n", double(seconds));
    // A run on one thread says nothing, so its report stays as it always was.
    if (in.threads > 1) {
        Append(out.stats, "Threads used = %i\n", in.threads);
        if (in.verbosity > 2) Append(out.console, "Threads used = %i\n", in.threads);
    }
    if (in.hasLoudness) {
        const std::string lines = LoudnessLines(in.loudness) + LoudnessTargetLine(in.target);
        if (in.verbosity >= 1) out.console += lines;
        out.stats += lines;
    }
    const std::string missed = LoudnessTargetWarning(in.target);
    out.console += missed;
    out.stats += missed;
    // Clipping of the written samples closes the report and is printed at
    // every verbosity, like every warning.
    const std::string clipped = OutputClipWarning(in.outputClips, in.rate);
    out.console += clipped;
    out.stats += clipped;
    // The copy holds the text as the mixer read it, up to its terminating NUL.
    out.faderCopy = std::string(in.faderText.c_str());
    return out;
}

}  // namespace varnel
