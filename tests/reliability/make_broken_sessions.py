#!/usr/bin/env python3
"""Writes a directory of deliberately broken mixing sessions, one
subdirectory each: damaged WAV headers, hostile text files, absurd numbers.
Usage: make_broken_sessions.py OUTDIR"""
import os
import random
import struct
import sys

RATE = 8000
FRAMES = 400

GOOD_PREFS = "begin\npre\toff\nverbo\t2\noutbits\t24\nend\n"
GOOD_FADERS = "begin\nmix\nt\t0\t0\t0\nv\t1\t-6\nv\t2\t-3\nv\tM\t0\nend\n"


def fmt_chunk(tag, ch, rate, bits, size=None, ext_guid=None):
    block = ch * bits // 8
    body = struct.pack('<HHIIHH', tag, ch, rate, (rate * block) & 0xFFFFFFFF, block & 0xFFFF, bits)
    if ext_guid is not None:
        body += struct.pack('<HHI', 22, bits, 3) + ext_guid
    return b'fmt ' + struct.pack('<I', len(body) if size is None else size) + body


def data_chunk(payload, size=None):
    return b'data' + struct.pack('<I', len(payload) if size is None else size) + payload


def riff(*chunks, size=None):
    body = b'WAVE' + b''.join(chunks)
    return b'RIFF' + struct.pack('<I', len(body) if size is None else size) + body


def samples(ch, bits, frames=FRAMES):
    rnd = random.Random(bits * 10 + ch)
    return bytes(rnd.randrange(256) for _ in range(frames * ch * bits // 8))


def good_wav(ch=1, bits=16, rate=RATE):
    return riff(fmt_chunk(1 if bits != 32 else 3, ch, rate, bits), data_chunk(samples(ch, bits)))


FLOAT_GUID = bytes([3, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71])


def broken_wavs():
    g = good_wav(2, 24)
    nan_floats = struct.pack('<4f', float('nan'), float('inf'), -float('inf'), 3.0e38) * 100
    yield 'truncated_12', g[:12]
    yield 'truncated_30', g[:30]
    yield 'truncated_44', g[:44]
    yield 'truncated_mid_frame', g[:44 + 7]
    yield 'empty', b''
    yield 'riff_only', b'RIFF'
    yield 'not_wave', b'RIFF\x10\x00\x00\x00AVI ' + g[12:]
    yield 'data_size_huge', riff(fmt_chunk(1, 2, RATE, 24), data_chunk(samples(2, 24), 0xFFFFFFFF))
    yield 'data_size_zero', riff(fmt_chunk(1, 2, RATE, 24), data_chunk(samples(2, 24), 0))
    yield 'riff_size_lies', riff(fmt_chunk(1, 2, RATE, 24), data_chunk(samples(2, 24)), size=7)
    yield 'fmt_size_huge', riff(fmt_chunk(1, 1, RATE, 16, size=0xFFFFFFF0), data_chunk(samples(1, 16)))
    yield 'fmt_size_short', riff(fmt_chunk(1, 1, RATE, 16, size=8), data_chunk(samples(1, 16)))
    yield 'fmt_size_odd', riff(fmt_chunk(1, 1, RATE, 16, size=17), data_chunk(samples(1, 16)))
    yield 'odd_list_unpadded', riff(fmt_chunk(1, 1, RATE, 16), b'LIST\x05\x00\x00\x00abcde',
                                    data_chunk(samples(1, 16)))
    yield 'odd_junk_padded', riff(b'JUNK\x03\x00\x00\x00abc\x00', fmt_chunk(1, 1, RATE, 16),
                                  data_chunk(samples(1, 16)))
    yield 'chunk_size_past_end', riff(fmt_chunk(1, 1, RATE, 16), b'bext\xff\xff\xff\x7f',
                                      data_chunk(samples(1, 16)))
    yield 'no_data', riff(fmt_chunk(1, 1, RATE, 16))
    yield 'data_before_fmt', riff(data_chunk(samples(1, 16)), fmt_chunk(1, 1, RATE, 16))
    yield 'zero_channels', riff(fmt_chunk(1, 0, RATE, 16), data_chunk(samples(1, 16)))
    yield 'three_channels', riff(fmt_chunk(1, 3, RATE, 16), data_chunk(samples(3, 16)))
    yield 'many_channels', riff(fmt_chunk(1, 65535, RATE, 16), data_chunk(samples(1, 16)))
    yield 'zero_rate', riff(fmt_chunk(1, 1, 0, 16), data_chunk(samples(1, 16)))
    yield 'huge_rate', riff(fmt_chunk(1, 1, 0xFFFFFFFF, 16), data_chunk(samples(1, 16)))
    yield 'eight_bit', riff(fmt_chunk(1, 1, RATE, 8), data_chunk(samples(1, 8)))
    yield 'zero_bits', riff(fmt_chunk(1, 1, RATE, 0), data_chunk(samples(1, 16)))
    yield 'pcm_32', riff(fmt_chunk(1, 1, RATE, 32), data_chunk(samples(1, 32)))
    yield 'float_nan_inf', riff(fmt_chunk(3, 2, RATE, 32), data_chunk(nan_floats))
    yield 'ext_float_short_fmt', riff(fmt_chunk(0xFFFE, 1, RATE, 32, size=20), data_chunk(samples(1, 32)))
    yield 'ext_float', riff(fmt_chunk(0xFFFE, 1, RATE, 32, ext_guid=FLOAT_GUID), data_chunk(nan_floats))
    yield 'random_bytes', bytes(random.Random(7).randrange(256) for _ in range(3000))


def write_session(root, name, tracks=None, faders=GOOD_FADERS, prefs=GOOD_PREFS, wavs=None):
    d = os.path.join(root, name)
    os.makedirs(d, exist_ok=True)
    if wavs is None:
        wavs = {'a.wav': good_wav(1, 16), 'b.wav': good_wav(2, 24)}
    for fname, content in wavs.items():
        with open(os.path.join(d, fname), 'wb') as f:
            f.write(content)
    if tracks is None:
        tracks = 'begin\n' + ''.join('%d %s +\n' % (i + 1, n) for i, n in enumerate(sorted(wavs))) + 'end\n'
    for fname, content in (('tracks.txt', tracks), ('faders.txt', faders), ('prefs.txt', prefs)):
        if content is None or content is False:  # the file is left out
            continue
        mode = 'wb' if isinstance(content, bytes) else 'w'
        with open(os.path.join(d, fname), mode) as f:
            f.write(content)


def text_sessions(root):
    binary = bytes(random.Random(3).randrange(256) for _ in range(5000))
    write_session(root, 'text_all_empty', tracks='', faders='', prefs='')
    write_session(root, 'text_all_binary', tracks=binary, faders=binary[::-1], prefs=binary[1:])
    write_session(root, 'text_begin_only', tracks='begin', faders='begin', prefs='begin')
    write_session(root, 'text_no_prefs', prefs=None)
    write_session(root, 'text_no_faders_eof_at_prompt', faders=None)
    write_session(root, 'text_no_tracks', tracks=False)
    write_session(root, 'text_crlf', faders=GOOD_FADERS.replace('\n', '\r\n'),
                  prefs=GOOD_PREFS.replace('\n', '\r\n'))
    huge = ('begin\nhuge\nt\t1e300\t1e300\t1e300\nv\t1\t1e308\nrmp\t1e308\nshape\t1e308\n'
            'v\t2\t-1e308\nofs\t-1e308\ninc\t1e308\np\t1\t99999999999\npol\t2\t-99999999999\n'
            'tstamp\t1\t99999999\t0\t0\nsstamp\t2\t9223372036854775807\ntrim\t1\t1e308\n'
            'scale\t1e308\nmtrim\t1e308\nfxg\tM\t1e308\ncomp\t1\t1e308\t1e308\t1e308\t1e308\n'
            'hp\t1\t1e308\nband1\t2\t1e308\t1e308\t1e308\nrev\t1\t1e308\nrtn\t1e308\t1e308\n'
            'pos\t1e308\t1e308\t1e308\nwidth\t1e308\ntmap\t1e308\t1e308\t1e308\nend\n')
    write_session(root, 'numbers_huge', faders=huge)
    write_session(root, 'numbers_huge_prefs', prefs='begin\nverbo\t99999999999\nstart\t1e308\t1e308\t1e308\n'
                  'length\t1e308\nhead\t1e308\ntail\t-1e308\nxin\t1e308\t0\t0\nxout\t-1e308\t0\t0\n'
                  'mono\t1e308\ndbps\t1e308\ndither\t99999999999\noutbits\t99999999999\n'
                  'offset\t1e308\t1e308\t1e308\ntfields\t-5\npan\t1e308\nend\n')
    nan = huge.replace('1e308', 'nan').replace('1e300', 'inf').replace('99999999999', 'nan')
    write_session(root, 'numbers_nan', faders=nan)
    write_session(root, 'numbers_nan_prefs', prefs='begin\npre\ton\nstart\tnan\tnan\tnan\nlength\tnan\n'
                  'mono\tnan\ndbps\tinf\npan\tnan\noffset\tnan\tinf\t-inf\nend\n')
    write_session(root, 'times_negative', faders='begin\nneg\nt\t-1\t-5\t-500\nv\t1\t-6\nrmp\t-3\n'
                  't\t0\t0\t0\nv\t1\t0\nofs\t-9\ntstamp\t1\t-1\t0\t0\nsstamp\t2\t-999999\n'
                  'comp\t1\t-6\t-5\t-200\t-4\nend\n')
    write_session(root, 'times_beyond_song', faders='begin\nlate\nt\t500\t0\t0\nv\t1\t-6\nend\n')
    write_session(root, 'preview_negative', prefs='begin\npre\ton\nstart\t-1\t0\t0\nlength\t-5\nend\n')
    write_session(root, 'window_inverted', prefs='begin\npre\toff\nxin\t0\t1\t0\nxout\t0\t0\t500\nend\n')
    many_tracks = 'begin\n' + ''.join('%d a.wav +\n' % (i + 1) for i in range(300)) + 'end\n'
    write_session(root, 'too_many_tracks', tracks=many_tracks)
    many_entries = 'begin\nmany\n' + ''.join('t\t0\t0\t%d\nv\t1\t-%d\nv\tM\t0\nvca\t1\t-1\n' % (i, i % 50)
                                             for i in range(1500)) + 'VCA:\t1\t1,2\nend\n'
    write_session(root, 'too_many_entries', faders=many_entries)
    routing = ('begin\nroute\nsub\t9\t1,2\nsub\t-1\t1\nsub\t1\t1,2,3,999,-5,,\nsubmu\t99\nsubso\t-3\n'
               'VCA:\t0\t1\nVCA:\t9\t1\nVCA:\t1\t1,1,1,1\nsub\t1\nend\n')
    write_session(root, 'routing_out_of_range', faders=routing)
    unknown = 'begin\nodd\nfoo\tbar\nv\nt\nrmp\ncomp\nband9\t1\t2\nG\tM\tend\tx\n'
    write_session(root, 'unknown_and_truncated_keywords', faders=unknown)
    write_session(root, 'fields_missing_at_eof', faders='begin\nshort\nt\t0\t0\t0\nv\t1',
                  prefs='begin\npre\ton\nstart')
    write_session(root, 'long_names', tracks='begin\n1 ' + 'x' * 600 + '.wav +\n',
                  prefs='begin\nmixdir\t' + 'd' * 400 + '\noname\t' + 'n' * 400 + '\nlaunch\t' + 'l' * 600 + '\nend\n')
    write_session(root, 'rates_differ', wavs={'a.wav': good_wav(1, 16, 8000), 'b.wav': good_wav(1, 16, 11025)})
    write_session(root, 'reverb_impossible_room',
                  faders='begin\nroom\nt\t0\t0\t0\nv\t1\t0\nrev\t1\t0\nrtn\t0\t0\npos\t-5\t-5\t-5\nwidth\t0\nend\n',
                  prefs=GOOD_PREFS + 'tap\trev\n')


def main():
    root = sys.argv[1]
    os.makedirs(root, exist_ok=True)
    good = good_wav(1, 16)
    for name, wav in broken_wavs():
        write_session(root, 'wav_' + name, wavs={'a.wav': good, 'b.wav': wav})
        write_session(root, 'wav_only_' + name, wavs={'a.wav': wav})
    text_sessions(root)


if __name__ == '__main__':
    main()
