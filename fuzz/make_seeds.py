#!/usr/bin/env python3
"""Writes the seed corpora in fuzz/corpus/<target>/ (small, hand-made inputs)."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def crc16(data):
    crc = 0
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0x8408 if crc & 1 else crc >> 1
    return crc


def frame(cmd, payload, second=0x00):
    body = bytes([cmd]) + struct.pack('>H', len(payload)) + bytes(payload)
    c = crc16(body)
    return bytes([0xFF, second]) + body + bytes([c >> 8, c & 0xFF, 0x03])


def write(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)


# Receiver: selector, default mask, specified mask, units, model, recording, block seed.
def receiver_head(selector, default=0, specified=0, units=0, model=0, recording=1, seed=7):
    return bytes([selector]) + struct.pack('<II', default, specified) + bytes([units, model, recording, seed])

vk100 = 0x0A1F087A
payload_vk100 = bytes(range(121))
write('fuzz_receiver', 'raw_vk100_frames',
      receiver_head(0x00) + frame(0x57, payload_vk100) + b'\x00\x12' + frame(0x90, payload_vk100))
write('fuzz_receiver', 'raw_replies',
      receiver_head(0x04, model=1) + frame(0x52, struct.pack('<I', 0x1A)) +
      frame(0xB3, struct.pack('<f', 9.8)) + frame(0x42, struct.pack('<f', -3.5)) +
      frame(0x01, b'\x00') + frame(0x01, b'') + frame(0x55, b''))
write('fuzz_receiver', 'raw_bad_frames',
      receiver_head(0x00, model=2) + b'\xff\x00\x57\x02\x00' + frame(0x57, b'\x01' * 36)[:-1] + b'\x00\x03' +
      frame(0x59, b'\x00' * 8))
# Framed pieces: command index, length, payload.
write('fuzz_receiver', 'framed_chosen_items',
      receiver_head(0x83, default=0x1A, specified=vk100, units=3, model=0, recording=2) +
      bytes([0x01, 121]) + payload_vk100 + bytes([0x02, 121]) + payload_vk100 +
      bytes([0x00, 1, 0x09]) + bytes([0x85, 4, 1, 2, 3, 4]))
write('fuzz_receiver', 'framed_long',
      receiver_head(0x81, default=0xFFFFFFFF, model=3) + bytes([0x23, 252, 1]) + bytes(505) +
      bytes([0x41, 12]) + bytes(12) + b'\x07')

# 3DS: a primary chunk holding an editor chunk with one material and one triangle.
def chunk(cid, content):
    return struct.pack('<HI', cid, 6 + len(content)) + content

def cstr(s):
    return s.encode() + b'\x00'

material = chunk(0xAFFF, chunk(0xA000, cstr('Grey')) +
                 chunk(0xA020, chunk(0x0011, bytes([128, 130, 140]))) +
                 chunk(0xA200, chunk(0xA300, cstr('skin.bmp'))))
vertices = struct.pack('<H', 4) + struct.pack('<12f', 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1)
faces = struct.pack('<H', 2) + struct.pack('<4H', 0, 1, 2, 0) + struct.pack('<4H', 0, 2, 3, 7)
face_material = chunk(0x4130, cstr('Grey') + struct.pack('<HH', 1, 0))
mesh = chunk(0x4100, chunk(0x4110, vertices) + chunk(0x4120, faces + face_material) +
             chunk(0x4140, struct.pack('<H', 2) + struct.pack('<4f', 0, 0, 1, 1)))
obj = chunk(0x4000, cstr('Box') + mesh)
editor = chunk(0x3D3D, chunk(0x3D3E, struct.pack('<I', 3)) + material + obj)
write('fuzz_scene_loader', 'small_model', chunk(0x4D4D, chunk(0x0002, struct.pack('<I', 3)) + editor))
write('fuzz_scene_loader', 'two_objects',
      chunk(0x4D4D, chunk(0x3D3D, material + obj + chunk(0x4000, cstr('Light') + chunk(0x4600, bytes(12))))))
write('fuzz_scene_loader', 'not_primary', chunk(0x3D3D, obj))

# Configuration file.
write('fuzz_config_file', 'created',
      b'[Config]\nLANGUAGE=CH\nMODEL=VK100\nPROTOCOL=ASCII\nCOM=/dev/ttyS0\nBAUD=1\nPARITY=0\nPATH=/srv/data\n')
write('fuzz_config_file', 'crlf_quotes',
      b'; comment\r\n[other]\r\nMODEL=x\r\n[ config ]\r\n  model = "VN300" \r\nBaud=-99999999999\r\nLANGUAGE=EN\r\n')
write('fuzz_config_file', 'odd',
      b'[Config]\nMODEL=../../etc/x\x01\nCOM\nPATH=\n=value\n[Config]\nMODEL=VK200-210\n\x00\xff[x')

# Simulator commands: model byte, then host frames.
write('fuzz_devsim_command', 'connect',
      b'\x00' + frame(0x51, b'', 0x02) + frame(0xB2, b'', 0x02) + frame(0x53, b'\x00\x00\x01', 0x02) +
      frame(0x56, b'', 0x02))
write('fuzz_devsim_command', 'settings',
      b'\x05' + frame(0x12, b'\x00' + struct.pack('<I', 256000), 0x02) +
      frame(0x50, b'\x00' + struct.pack('<I', 0x1A), 0x02) + frame(0xB1, b'\x00' + struct.pack('<f', 9.81), 0x02) +
      frame(0x40, b'\x00' + struct.pack('<f', 2.5), 0x02) + frame(0x70, b'\x08', 0x02) +
      frame(0x58, struct.pack('<I', 0x0A1F087A), 0x02) + frame(0x24, b'', 0x02) + frame(0x41, b'', 0x02))
write('fuzz_devsim_command', 'noise', b'\x42\x00\xff\x12\xff\x00\x01\xf9\x03\xff\x02\x51\x00\x00\x00\x00\x03')

# Headless arguments, NUL-separated.
def args(*a):
    return b''.join(x.encode() + b'\x00' for x in a)
write('fuzz_headless_args', 'full',
      args('--port', '/dev/ttyUSB0', '--baud', '256000', '--parity', 'E', '--model', 'VN300', '--mode', '2',
           '--freq-index', '8', '--record', '--duration', '1.5', '--monitor'))
write('fuzz_headless_args', 'bad', args('--baud', '-1', '--duration', 'nan'))
write('fuzz_headless_args', 'no_headless', b'\x01' + args('--port', 'x'))

# Captures: pcap with nanosecond time stamps, link type 147, a note first; each record's
# data starts with its direction byte (0 device to host, 1 host to device, 2 note).
def capture(records, cut=0):
    out = struct.pack('<IHHiIII', 0xA1B23C4D, 2, 4, 0, 0, 262144, 147)
    for i, (direction, data) in enumerate(records):
        body = bytes([direction]) + data
        out += struct.pack('<IIII', 1700000000, i * 5000000, len(body), len(body)) + body
    return out[:len(out) - cut]

note = (2, b'model=VK100\nbaud=115200\nparity=N\nmode=2\nversion=1.5\n')
streamed = [note, (0, frame(0x90, payload_vk100)), (1, frame(0x56, b'', 0x02)),
            (0, frame(0x57, payload_vk100)[:40]), (0, frame(0x57, payload_vk100)[40:])]
write('fuzz_capture_reader', 'streamed', capture(streamed))
write('fuzz_capture_reader', 'cut_off', capture(streamed, cut=7))
write('fuzz_capture_reader', 'note_only', capture([note]))
