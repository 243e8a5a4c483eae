"""Reader for the container of compiled HTML help (.chm): the ITSF header, the ITSP directory
and its PMGL listing chunks, and the files stored uncompressed in content section 0.

Only what the help test needs: which files the directory lists, where, and how long. The
compressed section (LZX) is not decoded here; the test reads it through a second reader.
"""
import struct
import uuid

ITSF_GUID_1 = uuid.UUID("7C01FD10-7BAA-11D0-9E0C-00A0C922E6EC")
ITSF_GUID_2 = uuid.UUID("7C01FD11-7BAA-11D0-9E0C-00A0C922E6EC")
ITSP_GUID = uuid.UUID("5D02926A-212E-11D0-9DF9-00A0C922E6EC")


class ChmError(Exception):
    pass


class Entry:
    def __init__(self, name, section, offset, length):
        self.name, self.section, self.offset, self.length = name, section, offset, length

    def __repr__(self):
        return f"Entry({self.name!r}, section={self.section}, offset={self.offset}, length={self.length})"


def _encint(data, pos, end):
    """A CHM variable-length integer: 7 bits a byte, most significant first."""
    value = 0
    for _ in range(9):
        if pos >= end:
            raise ChmError("directory entry runs past the end of its chunk")
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, pos
    raise ChmError("directory integer longer than 63 bits")


def _need(data, offset, size, what):
    if offset < 0 or offset + size > len(data):
        raise ChmError(f"{what} lies outside the file ({offset} + {size} > {len(data)})")


class Chm:
    def __init__(self, data: bytes):
        self.data = data
        _need(data, 0, 0x58, "ITSF header")
        sig, self.version, header_len = struct.unpack_from("<4sII", data, 0)
        if sig != b"ITSF":
            raise ChmError(f"no ITSF signature (found {sig!r})")
        if self.version not in (2, 3):
            raise ChmError(f"unknown ITSF version {self.version}")
        # Microsoft's compiler writes ...FD10 then ...FD11; chmcmd writes ...FD10 twice, and
        # readers accept both.
        if (uuid.UUID(bytes_le=data[0x18:0x28]) != ITSF_GUID_1
                or uuid.UUID(bytes_le=data[0x28:0x38]) not in (ITSF_GUID_1, ITSF_GUID_2)):
            raise ChmError("ITSF header GUIDs are wrong")
        self.language = struct.unpack_from("<I", data, 0x14)[0]
        sec0_off, sec0_len, dir_off, dir_len = struct.unpack_from("<QQQQ", data, 0x38)
        if self.version == 3:
            _need(data, 0, 0x60, "ITSF header")
            self.content_offset = struct.unpack_from("<Q", data, 0x58)[0]
        else:
            self.content_offset = dir_off + dir_len
        if header_len not in (0x58, 0x60):
            raise ChmError(f"ITSF header length {header_len:#x}")

        # Header section 0 records the file's own length.
        _need(data, sec0_off, max(sec0_len, 0x18), "header section 0")
        marker, _, file_size = struct.unpack_from("<IIQ", data, sec0_off)
        if marker != 0x01FE:
            raise ChmError("header section 0 is damaged")
        if file_size != len(data):
            raise ChmError(f"the file is {len(data)} bytes, its header says {file_size}")

        _need(data, dir_off, dir_len, "directory")
        self.entries = self._read_directory(dir_off, dir_len)
        if self.content_offset > len(data):
            raise ChmError("content section 0 starts past the end of the file")

    def _read_directory(self, off, length):
        d = self.data
        _need(d, off, 0x54, "ITSP header")
        (sig, version, header_len, _, chunk_size, _, depth, root, first, last, _,
         chunk_count) = struct.unpack_from("<4sIIIIIiiiiiI", d, off)
        if sig != b"ITSP" or version != 1 or header_len != 0x54:
            raise ChmError("no ITSP directory header")
        if uuid.UUID(bytes_le=d[off + 0x34:off + 0x44]) != ITSP_GUID:
            raise ChmError("ITSP GUID is wrong")
        if chunk_size < 0x20 or header_len + chunk_count * chunk_size != length:
            raise ChmError(f"directory of {length} bytes does not hold {chunk_count} chunks of {chunk_size}")
        if not (0 <= first <= last < chunk_count):
            raise ChmError(f"listing chunks {first}..{last} outside 0..{chunk_count - 1}")
        if depth not in (1, 2) or (depth == 1) != (root == -1):
            raise ChmError(f"index depth {depth} with root chunk {root}")

        entries = {}
        chunk_no, seen = first, set()
        while chunk_no != -1:
            if chunk_no in seen or not 0 <= chunk_no < chunk_count:
                raise ChmError(f"listing chunk chain broken at {chunk_no}")
            seen.add(chunk_no)
            base = off + header_len + chunk_no * chunk_size
            csig, free, _, prev_no, next_no = struct.unpack_from("<4sIIii", d, base)
            if csig != b"PMGL":
                raise ChmError(f"chunk {chunk_no} is not a listing chunk ({csig!r})")
            if free > chunk_size - 0x14 - 2:
                raise ChmError(f"chunk {chunk_no} claims {free} bytes of free space")
            end = base + chunk_size - free
            count = struct.unpack_from("<H", d, base + chunk_size - 2)[0]
            pos, found = base + 0x14, 0
            while pos < end:
                name_len, pos = _encint(d, pos, end)
                if pos + name_len > end:
                    raise ChmError(f"a name in chunk {chunk_no} runs past the chunk")
                name = d[pos:pos + name_len].decode("utf-8")
                pos += name_len
                section, pos = _encint(d, pos, end)
                offset, pos = _encint(d, pos, end)
                size, pos = _encint(d, pos, end)
                if name in entries:
                    raise ChmError(f"{name} is listed twice")
                entries[name] = Entry(name, section, offset, size)
                found += 1
            if found != count:
                raise ChmError(f"chunk {chunk_no} says it holds {count} entries, it holds {found}")
            if chunk_no == last and next_no != -1:
                raise ChmError("the last listing chunk points further")
            chunk_no = next_no
        if last not in seen:
            raise ChmError("the listing chain does not reach its last chunk")
        return entries

    def read_uncompressed(self, name):
        """The bytes of a file stored in content section 0."""
        e = self.entries.get(name)
        if e is None:
            raise ChmError(f"{name} is not in the directory")
        if e.section != 0:
            raise ChmError(f"{name} is compressed (section {e.section})")
        start = self.content_offset + e.offset
        _need(self.data, start, e.length, name)
        return self.data[start:start + e.length]

    def section_names(self):
        """The content sections named in ::DataSpace/NameList (0: Uncompressed, 1: MSCompressed)."""
        raw = self.read_uncompressed("::DataSpace/NameList")
        if len(raw) < 4:
            raise ChmError("NameList is too short")
        _, count = struct.unpack_from("<HH", raw, 0)
        names, pos = [], 4
        for _ in range(count):
            if pos + 2 > len(raw):
                raise ChmError("NameList is cut off")
            n = struct.unpack_from("<H", raw, pos)[0]
            pos += 2
            if pos + 2 * n + 2 > len(raw):
                raise ChmError("NameList is cut off")
            names.append(raw[pos:pos + 2 * n].decode("utf-16-le"))
            pos += 2 * n + 2
        return names

    def system(self):
        """The #SYSTEM records by code (0 contents file, 1 index, 2 default topic, 3 title, ...)."""
        raw = self.read_uncompressed("/#SYSTEM")
        records, pos = {}, 4
        while pos + 4 <= len(raw):
            code, n = struct.unpack_from("<HH", raw, pos)
            pos += 4
            if pos + n > len(raw):
                raise ChmError(f"#SYSTEM record {code} runs past its end")
            records[code] = raw[pos:pos + n]
            pos += n
        return records

    RESET_TABLE = ("::DataSpace/Storage/MSCompressed/Transform/"
                   "{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable")

    def compressed_section_sizes(self):
        """(uncompressed, compressed) lengths of section 1, from its LZX reset table."""
        raw = self.read_uncompressed(self.RESET_TABLE)
        if len(raw) < 0x28:
            raise ChmError("the reset table is too short")
        version, blocks, entry_size, header_size, plain, packed, block_size = struct.unpack_from("<IIIIQQQ", raw, 0)
        if version != 2 or entry_size != 8 or header_size != 0x28 or header_size + blocks * 8 > len(raw):
            raise ChmError("the reset table is damaged")
        # One reset point per block; some compilers, chmcmd among them, add one for the end.
        needed = (plain + block_size - 1) // block_size if block_size else -1
        if block_size == 0 or blocks not in (needed, needed + 1):
            raise ChmError(f"{blocks} reset blocks of {block_size} do not cover {plain} bytes")
        return plain, packed
