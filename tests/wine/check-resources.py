#!/usr/bin/env python3
"""Checks the plug-in's resources straight from the DLL file, without Wine:
the dialog template, the six shape icons and two hand cursors, all Japanese,
and the version block (file description, versions, translation).

    check-resources.py PLUGIN.dll
"""
import struct
import sys

RT_CURSOR_GROUP, RT_DIALOG, RT_ICON_GROUP, RT_VERSION = 12, 5, 14, 16
JAPANESE = 0x0411


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


class Image:
    def __init__(self, data):
        self.data = data
        header = struct.unpack_from("<I", data, 0x3C)[0]
        if data[:2] != b"MZ" or data[header:header + 4] != b"PE\0\0":
            fail("not a PE file")
        sections, optional_size = struct.unpack_from("<H12xH", data, header + 6)
        optional = header + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            size, rva, raw_size, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            self.sections.append((rva, max(size, raw_size), raw))

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return rva - start + raw
        fail("address %#x lies in no section" % rva)

    def resources(self):
        """{(type, id): {language: bytes}} for every resource with numeric type and id."""
        if self.resource_rva == 0:
            fail("the file has no resources")
        base = self.offset(self.resource_rva)
        found = {}

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + numbered):
                key, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                yield (None if key & 0x80000000 else key), target

        for kind, types in entries(0):
            for ident, names in entries(types & 0x7FFFFFFF):
                for language, leaf in entries(names & 0x7FFFFFFF):
                    rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    start = self.offset(rva)
                    found.setdefault((kind, ident), {})[language] = self.data[start:start + size]
        return found


def version_strings(block):
    """The StringFileInfo tables of a VS_VERSIONINFO block: {table key: {name: value}}."""
    def node(at):
        length, value_length, is_text = struct.unpack_from("<HHH", block, at)
        end = block.index(b"\0\0", at + 6)
        while (end - at - 6) % 2:
            end = block.index(b"\0\0", end + 1)
        key = block[at + 6:end].decode("utf-16-le")
        value_at = (end + 2 + 3) & ~3
        value_size = value_length * 2 if is_text else value_length
        return key, block[value_at:value_at + value_size], value_at + value_size, at + length

    def children(start, end):
        at = (start + 3) & ~3
        while at < end:
            key, value, value_end, next_at = node(at)
            yield key, value, value_end, next_at
            at = (next_at + 3) & ~3

    key, fixed, fixed_end, end = node(0)
    if key != "VS_VERSION_INFO":
        fail("the version resource does not start with VS_VERSION_INFO")
    tables, translation = {}, None
    for key, _, child_start, child_end in children(fixed_end, end):
        if key == "StringFileInfo":
            for table, _, table_start, table_end in children(child_start, child_end):
                tables[table] = {name: value.decode("utf-16-le").rstrip("\0")
                                 for name, value, _, _ in children(table_start, table_end)}
        elif key == "VarFileInfo":
            for name, value, _, _ in children(child_start, child_end):
                if name == "Translation":
                    translation = struct.unpack_from("<HH", value)
    return fixed, tables, translation


def main():
    with open(sys.argv[1], "rb") as f:
        resources = Image(f.read()).resources()

    wanted = [(RT_DIALOG, 118)] + [(RT_ICON_GROUP, i) for i in range(1065, 1071)] + \
             [(RT_CURSOR_GROUP, 107), (RT_CURSOR_GROUP, 108), (RT_VERSION, 1)]
    for key in wanted:
        if key not in resources:
            fail("resource type %d id %d is missing" % key)
        if list(resources[key]) != [JAPANESE]:
            fail("resource type %d id %d is in languages %s, not Japanese only" %
                 (key + ([hex(l) for l in resources[key]],)))

    fixed, tables, translation = version_strings(resources[(RT_VERSION, 1)][JAPANESE])
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != 0xFEEF04BD:
        fail("the version block has no fixed file information")
    if (file_ms, file_ls, product_ms, product_ls) != (0x00000001, 0, 0x00000001, 0):
        fail("file and product version are not 0.1.0.0")
    table = tables.get("041103a4")
    if table is None:
        fail("no string table for Japanese, code page 932 (found %s)" % sorted(tables))
    if table.get("FileDescription") != "平行四辺形フィルタ":
        fail("file description is %r" % table.get("FileDescription"))
    if translation != (JAPANESE, 932):
        fail("translation is %r, not Japanese with code page 932" % (translation,))
    print("resources: dialog 118, icons 1065-1070, cursors 107 108, version 0.1.0.0 \"%s\", all Japanese" %
          table["FileDescription"])


main()
