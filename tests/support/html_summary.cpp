#include "support/html_summary.hpp"

#include <sstream>

#include "support/test_support.hpp"

namespace testsupport {

namespace {

const char kScript[] = R"PY(
import re, sys
import xml.etree.ElementTree as ET
try:
    root = ET.parse(sys.argv[1]).getroot()
except Exception as e:
    print('error\t%s' % e)
    sys.exit(0)
def local(e): return e.tag.rsplit('}', 1)[-1]
def text(e): return ' '.join(''.join(e.itertext()).split())
def classes(e): return e.get('class', '').split()
def paths(e, cls): return [p.get('d', '') for p in e.iter() if local(p) == 'path' and cls in classes(p)]
num = r'(-?\d+(?:\.\d+)?)'
svgs = 0
for e in root.iter():
    tag, cls = local(e), classes(e)
    if tag == 'svg':
        svgs += 1
    if tag == 'table' and 'facts' in cls:
        for tr in e.iter():
            if local(tr) != 'tr': continue
            cells = [c for c in tr if local(c) in ('th', 'td')]
            print('fact\t%s\t%s' % (text(cells[0]), text(cells[1])))
    if tag == 'ul' and 'warn' in cls:
        for li in e:
            print('warning\t%s' % text(li))
    if tag == 'div' and 'lane' in cls:
        name = [c for c in e if 'name' in classes(c)]
        xs = []
        for d in paths(e, 'ent'):
            x = 0.0
            for move, dx, dy in re.findall('([Mm])' + num + r' ?' + num + 'h0', d):
                x = float(dx) if move == 'M' else x + float(dx)
                xs.append('%g' % x)
        print('lane\t%s\t%d\t%s' % (text(name[0]), 0 if 'off' in cls else 1, ','.join(xs)))
    if tag == 'path' and 'fs' in cls:
        for x, y in re.findall('M' + num + r' ?' + num + 'v', e.get('d', '')):
            print('fs\t%s\t%s' % (x, y))
    if tag == 'path' and 'pk' in cls:
        for x, y in re.findall('M' + num + r' ?' + num + 'v', e.get('d', '')):
            print('peak\t%s' % x)
    if tag == 'table' and 'meters' in cls:
        for tr in list(e.iter())[1:]:
            if local(tr) != 'tr': continue
            cells = [c for c in tr if local(c) == 'td']
            if not cells: continue
            clip = any('clip' in classes(s) for s in tr.iter())
            print('strip\t%s\t%s\t%s\t%d' % (text(cells[0]), text(cells[2]), text(cells[4]), clip))
print('svg\t%d' % svgs)
)PY";

}  // namespace

std::vector<std::string> SummariseHtml(const std::string& path) {
    std::vector<std::string> lines;
    if (!HaveTool("python3")) return lines;
    RunResult r = RunProgram("python3", {"-c", kScript, path}, ".");
    std::istringstream in(r.output);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::vector<std::string>> SummaryLines(const std::vector<std::string>& summary,
                                                   const std::string& kind) {
    std::vector<std::vector<std::string>> out;
    for (const std::string& line : summary) {
        std::vector<std::string> fields;
        std::istringstream in(line);
        for (std::string f; std::getline(in, f, '\t');) fields.push_back(f);
        if (!fields.empty() && fields[0] == kind) {
            fields.erase(fields.begin());
            out.push_back(fields);
        }
    }
    return out;
}

}  // namespace testsupport
