// Whole runs checked through what they leave for rebuilding and auditing:
// the run record at the end of the statistics file, and stats_<mix>.json,
// read by python's json module and held figure by figure to the text report.
#include <gtest/gtest.h>

#include <ctime>
#include <regex>

#include "run_signals.hpp"

using namespace runsignals;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::Session;

namespace {

constexpr int kRate = 44100;

// Channel 1 clips after its effects and takes the output past full scale;
// channel 2 is switched off; channel 3 (mono, 16-bit) feeds submix 1 and
// both reverbs. The preferences hold a misspelled keyword.
void BuildSession(Session& s) {
    std::vector<int32_t> l = Noise(44100, 3, 23), r = Noise(44100, 4, 22);
    s.AddPcm("vox.take2.wav", 2, 24, Stereo(l, r), kRate);
    s.AddLine("2 off.wav -");
    testsupport::WriteWavPcm(s.Path("pad.wav"), kRate, 1, 16, Sine(44100, 8000.0, 441.0, kRate));
    s.AddLine("3 pad.wav +");
    s.faders = Faders(3, "sub\t1\t3\nlim\t1\t0\nfxg\t1\t12\nrev\t3\t-6\ntrev\t3\t-6\nrtn\t-3\t40\n"
                         "trtn\t-3\t40\t3\n");
    s.prefs = "begin\nverbo\t1\nseed\t77\ncmop\t3\nend\n";
}

// The checker: every figure of the text report, found again in the JSON.
constexpr const char* kChecker = R"PY(
import json, re, sys, wave
text = open('stats_mix.txt').read()
doc = json.load(open('stats_mix.json'))
bad = []
def same(what, a, b):
    if a != b: bad.append('%s: json %r, text %r' % (what, a, b))
def near(what, a, b, tol):
    if abs(a - b) > tol: bad.append('%s: json %r, text %r' % (what, a, b))
def num(s): return float(s)
same('version', doc['version'], 1)
same('mix', doc['mix'], 'mix')
strips = doc['strips']
chans = {s['number']: s for s in strips if s['kind'] == 'channel'}
text_chans = re.findall(r'^Ch (\d+)\tL  (\S+)\tR  (\S+)\t(.*)$', text, re.M)
same('channels', sorted(chans), sorted(int(c[0]) for c in text_chans))
for n, l, r, name in text_chans:
    s = chans[int(n)]
    same('ch %s' % n, (s['peak_db']['left'], s['peak_db']['right'], s['name']), (num(l), num(r), name))
    same('ch %s clip' % n, s['clipped'], ('Channel %s is clipping' % n) in text)
for name in ('Rev', 'Trev'):
    m = re.search(r'^%s\tL  (\S+)\tR  (\S+)\t\(send\)(.*)$' % name, text, re.M)
    sends = [s for s in strips if s['kind'] == 'send' and s['name'] == name]
    same(name + ' present', len(sends), 1 if m else 0)
    if m and sends:
        same(name, (sends[0]['peak_db']['left'], sends[0]['peak_db']['right'], sends[0]['over']),
             (num(m.group(1)), num(m.group(2)), 'Over!' in m.group(3)))
subs = {s['number']: s for s in strips if s['kind'] == 'submix'}
text_subs = re.findall(r'^Sub (\d+)\tL  (\S+)\tR  (\S+)$', text, re.M)
same('submixes', sorted(subs), sorted(int(c[0]) for c in text_subs))
for n, l, r in text_subs:
    same('sub %s' % n, (subs[int(n)]['peak_db']['left'], subs[int(n)]['peak_db']['right']), (num(l), num(r)))
    same('sub %s clip' % n, subs[int(n)]['clipped'], ('Submix %s is clipping' % n) in text)
master = [s for s in strips if s['kind'] == 'master']
same('master clip', master[0]['clipped'], 'Master channel is clipping' in text)
out = doc['output']
m = re.search(r'^RMS\tL  (\S+)\tR  (\S+)\t', text, re.M)
same('rms', (out['rms_db']['left'], out['rms_db']['right']), (num(m.group(1)), num(m.group(2))))
w = wave.open('mix.wav')
same('format', (out['format']['bits'], out['format']['channels'], out['format']['rate']),
     (w.getsampwidth() * 8, w.getnchannels(), w.getframerate()))
same('window length', out['window']['length_samples'], w.getnframes())
near('window seconds', out['window']['length_seconds'], w.getnframes() / w.getframerate(), 0.0005)
for side, key in (('L', 'left'), ('R', 'right')):
    m = re.search(r'^Peak Out %s = (\S+) dB at (\S+) min : (\S+) sec$' % side, text, re.M)
    p = out['peak'][key]
    same('peak out ' + side, p['db'], num(m.group(1)))
    near('peak out %s at' % side, p['seconds'], num(m.group(2)) * 60 + num(m.group(3)), 0.0011)
    near('peak out %s sample' % side, p['sample'] / w.getframerate(), p['seconds'], 0.0005)
c = out['clipped_samples']
m = re.search(r'^Warning: the output clipped (\d+) samples \(L (\d+), R (\d+)\); the first at (\S+) min : (\S+) sec\.$', text, re.M)
if m:
    same('clips', (c['total'], c['left'], c['right']), tuple(int(g) for g in m.group(1, 2, 3)))
    near('first clip', c['first_seconds'], num(m.group(4)) * 60 + num(m.group(5)), 0.0011)
else:
    same('clips', (c['total'], c['first_sample']), (0, None))
loud = out['loudness']
m = re.search(r'^Integrated loudness = (\S+) LUFS$', text, re.M)
same('integrated', loud['integrated_lufs'], None if m.group(1) == '-inf' else num(m.group(1)))
same('range', loud['range_lu'], num(re.search(r'^Loudness range = (\S+) LU$', text, re.M).group(1)))
for side, key in (('L', 'left'), ('R', 'right')):
    same('true peak ' + side, loud['true_peak_dbtp'][key],
         num(re.search(r'^True peak %s = (\S+) dBTP$' % side, text, re.M).group(1)))
same('processing', doc['processing_seconds'], num(re.search(r'^Processing time = (\S+) sec$', text, re.M).group(1)))
rec = text[text.index('\nRun record:\n') + 13:].splitlines()
run = doc['run']
fields = dict(l.split(' = ', 1) for l in rec if ' = ' in l and not l.startswith('Warning'))
same('program', run['program'], fields['Program'])
same('date', run['date'], fields['Date'].replace(' UTC', 'Z').replace(' ', 'T'))
same('inputs', (run['track_list'], run['fader_file'], run['preferences']),
     (fields['Track list'], fields['Fader file'], fields['Preferences']))
tracks = ['Track %d = %s, %s' % (t['channel'], t['file'], '%d bytes' % t['bytes'] if t['mixed'] else 'not mixed')
          for t in run['tracks']]
same('tracks', tracks, [l for l in rec if l.startswith('Track ') and not l.startswith('Track list')])
same('output', run['output_file'], fields['Output'])
same('seed', '%d (from the %s)' % (run['seed'], run['seed_from']), fields['Seed'])
same('warnings', run['warnings'], rec[rec.index('Warnings = %d' % len(run['warnings'])) + 1:])
m = re.search(r'^Loudness target = (\S+) LUFS, gain applied = (\S+) dB$', text, re.M)
t = out['loudness_target']
if m is None or t is None:
    same('loudness target', t is None, m is None)
else:
    same('target', (t['target_lufs'], t['gain_db']), (num(m.group(1)), num(m.group(2))))
    m = re.search(r'^Warning: the target was not reached: the true-peak ceiling of (\S+) dBTP allows (\S+) LUFS at most\.$', text, re.M)
    same('target capped', t['capped'], m is not None)
    if m: same('target allows', (t['ceiling_dbtp'], t['allowed_lufs']), (num(m.group(1)), num(m.group(2))))
    same('target silent', t['silent'], 'the mix has no loudness above the gates' in text)
    same('target reached', t['reached'], not t['capped'] and not t['silent'])
m = re.search(r'^Threads used = (\d+)$', text, re.M)
same('threads', doc['threads_used'], int(m.group(1)) if m else 1)
print('\n'.join(bad) if bad else 'ok')
)PY";

}  // namespace

TEST(RunRecordRun, TheStatisticsFileEndsWithTheRunRecord) {
    Session s;
    BuildSession(s);
    const std::time_t before = std::time(nullptr);
    auto r = s.Run();
    const std::time_t after = std::time(nullptr);
    ASSERT_EQ(r.status, 0) << r.output;
    const std::string stats = ReadFile(s.Path("stats_mix.txt"));
    const size_t at = stats.find("\nRun record:\n");
    ASSERT_NE(at, std::string::npos) << stats;
    // Above the record, the report as the console shows it (with the
    // processing time, which verbosity 1 does not print).
    std::string above = stats.substr(0, at);
    above.erase(above.find("Processing time = "), above.find("Integrated") - above.find("Processing time = "));
    EXPECT_EQ(r.output.substr(r.output.find("Peaks (dB):")), above);
    const std::string record = stats.substr(at);
    std::smatch date;
    ASSERT_TRUE(std::regex_search(record, date, std::regex("\nDate = (\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d) UTC\n")))
        << record;
    char earliest[32], latest[32];
    std::strftime(earliest, sizeof earliest, "%Y-%m-%d %H:%M:%S", std::gmtime(&before));
    std::strftime(latest, sizeof latest, "%Y-%m-%d %H:%M:%S", std::gmtime(&after));
    EXPECT_GE(date[1].str(), std::string(earliest));
    EXPECT_LE(date[1].str(), std::string(latest));
    const std::string clipped = r.output.substr(r.output.find("Warning: the output clipped"));
    EXPECT_EQ(record,
              "\nRun record:\n"
              "Program = Varnel version 1.164 (w20e)\n"
              "Date = " + date[1].str() + " UTC\n"
              "Track list = tracks.txt\n"
              "Fader file = faders.txt\n"
              "Preferences = prefs.txt\n"
              "Track 1 = vox.take2.wav, 264644 bytes\n"
              "Track 2 = off.wav, not mixed\n"
              "Track 3 = pad.wav, 88244 bytes\n"
              "Output = mix.wav\n"
              "Seed = 77 (from the preferences)\n"
              "Warnings = 2\n"
              "Warning: prefs.txt:4: \"cmop\" is not a keyword; the line is ignored.\n" +
                  clipped);
    // The record is for the file: the console report ends with the warning.
    EXPECT_EQ(r.output.find("Run record"), std::string::npos);
}

TEST(RunRecordRun, TheJsonReportHoldsEveryFigureOfTheTextReport) {
    // The clipping session as it is, and with a loudness target the
    // true-peak ceiling holds back, mixed on two threads.
    for (const char* extra : {"", "lufs\t-3\ntpmax\t-6\nthreads\t2\n"}) {
        Session s;
        BuildSession(s);
        s.prefs = "begin\nverbo\t1\nseed\t77\ncmop\t3\n" + std::string(extra) + "end\n";
        auto r = s.Run();
        ASSERT_EQ(r.status, 0) << r.output;
        ASSERT_TRUE(FileExists(s.Path("stats_mix.json")));
        if (!testsupport::HaveTool("python3")) GTEST_SKIP() << "python3 not installed";
        testsupport::WriteFile(s.Path("check.py"), kChecker);
        auto py = testsupport::RunProgram("python3", {"check.py"}, s.dir.path());
        EXPECT_EQ(py.output, "ok\n") << ReadFile(s.Path("stats_mix.txt")) << ReadFile(s.Path("stats_mix.json"));
        if (*extra) {
            EXPECT_NE(ReadFile(s.Path("stats_mix.txt")).find("\nLoudness target = -3.0 LUFS"), std::string::npos);
        }
    }
}
