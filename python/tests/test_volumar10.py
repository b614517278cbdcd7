"""import volumar10 on volumes made by mkfs.fat: classes, geometry, sector
reads and writes, cluster marks (byte for byte as volumar mark does them),
collections, errors and help."""
import os
import pydoc
import shutil
import subprocess

import pytest

import volumar10

pytestmark = pytest.mark.skipif(shutil.which("mkfs.fat") is None, reason="mkfs.fat (dosfstools) is not installed")

# FAT type: (mkfs.fat size option in KiB, sectors per cluster)
SHAPES = {12: (1440, 1), 16: (16 * 1024, 4), 32: (34 * 1024, 1)}


def make_volume(folder, bits):
    size_kib, cluster = SHAPES[bits]
    image = folder / f"fat{bits}.img"
    subprocess.run(["mkfs.fat", "-C", "-F", str(bits), "-s", str(cluster), "-n", f"FAT{bits}",
                    "-i", "2024abcd", str(image), str(size_kib)], check=True, capture_output=True)
    return image


def editor_on(image, letter="C"):
    volumar10.map_drive(letter, image)
    d = volumar10.Dispatch("Volumar10.clsQzVolmDrwA")
    d.DrivePP = letter + ":"
    return d


def sector_bytes(image, sector, count=512):
    with open(image, "rb") as f:
        f.seek(sector * 512)
        return f.read(count)


@pytest.fixture(autouse=True)
def fresh_host():
    volumar10.set_family("nt")
    volumar10.use_registry(None)
    volumar10.message_boxes()
    yield
    volumar10.unmap_drive("C")


def test_every_class_is_created_by_its_progid():
    progids = volumar10.classes()
    assert "Volumar10.clsQzVolmDrwA" in progids and len(progids) == 5
    for progid in progids:
        obj = volumar10.Dispatch(progid)
        assert type(obj).__name__ == progid.split(".")[1]
        assert isinstance(obj, volumar10.Object)


@pytest.mark.parametrize("bits", [12, 16, 32])
@pytest.mark.parametrize("family", ["nt", "9x"])
def test_selection_reads_the_geometry_mkfs_wrote(tmp_path, bits, family):
    volumar10.set_family(family)
    image = make_volume(tmp_path, bits)
    boot = sector_bytes(image, 0)
    reserved = int.from_bytes(boot[14:16], "little")
    per_fat = int.from_bytes(boot[22:24], "little") or int.from_bytes(boot[36:40], "little")
    d = editor_on(image)
    assert d.VolumarPP == f"FAT{bits}"
    assert d.VolumeLabelPP == f"FAT{bits}"
    assert (d.BytesPerSectorPP, d.SectorsPerClusterPP, d.NumberOfFatCopiesPP) == (512, SHAPES[bits][1], 2)
    assert d.TotalSectorsPP == SHAPES[bits][0] * 2
    assert list(d.FatCopyStartsAtPP) == [reserved, reserved + per_fat]
    assert volumar10.message_boxes() == []


def test_a_sector_written_back_reads_again(tmp_path):
    image = make_volume(tmp_path, 12)
    d = editor_on(image)
    d.DiskSectionPP = 4
    sector = d.MinSectorPP + 3
    d.ClusterFoundPP = sector
    rows = d.ReadSectorDataWhole()
    assert len(rows) == 32 and rows[-1] == rows.Item(32) == rows["KEY496"]
    changed = volumar10.Ref(volumar10.Nothing)
    d.ChangeCollectionItem(rows, 2, "HELLO FROM PY 12", changed)
    d.WriteSectorDataWhole(changed.value)
    assert sector_bytes(image, sector)[16:32] == b"HELLO FROM PY 12"
    # A list of texts is a new Collection to the member.
    d.WriteSectorDataWhole(d.ReadSectorDataWhole()[:2] + ["0123456789abcdef"] * 30)
    assert sector_bytes(image, sector)[32:48] == b"0123456789abcdef"
    assert d.ReadSectorDataWhole()[1] == "HELLO FROM PY 12"


def volumar_mark(image, state, cluster):
    tool = os.environ.get("VOLUMAR_TOOL")
    if not tool:
        pytest.skip("VOLUMAR_TOOL names no volumar program")
    env = dict(os.environ, XDG_DATA_HOME=str(image.parent))
    subprocess.run([tool, "--no-journal", "mark", str(image), state, "--cluster", str(cluster), "--yes", "--force"],
                   check=True, capture_output=True, env=env)


@pytest.mark.parametrize("bits", [12, 16, 32])
def test_marks_equal_volumar_marks_byte_for_byte(tmp_path, bits):
    image = make_volume(tmp_path, bits)
    copy = tmp_path / "copy.img"
    shutil.copyfile(image, copy)
    d = editor_on(image)
    assert d.FindCluster(0) == ""  # the first free cluster
    cluster = (d.ClusterFoundPP - d.MinSectorPP) // d.SectorsPerClusterPP + 2
    for action, state in [(2, "bad"), (6, "free")]:
        d.FindCluster(action)
        volumar_mark(copy, state, cluster)
        assert image.read_bytes() == copy.read_bytes(), state
        if state == "bad":
            assert d.FindCluster(4) == "" and d.ClusterFoundPP == d.MinSectorPP + (cluster - 2) * d.SectorsPerClusterPP
    assert d.FindCluster(4) == "0"  # no bad cluster left: a box says so
    assert volumar10.message_boxes() == [("Nothing found!", "ZEV DRW...", 0x10)]
    assert volumar10.message_boxes() == []


def test_errors_carry_the_runtime_number_and_text(tmp_path):
    d = editor_on(make_volume(tmp_path, 12))
    rows = d.ReadSectorDataWhole()
    cases = [
        (lambda: volumar10.Dispatch("Volumar10.NoSuchClass"), 429, "ActiveX component can't create object"),
        (lambda: setattr(d, "ClusterFoundPP", "not a number"), 13, "Type mismatch"),
        (lambda: rows.Item(33), 9, "Subscript out of range"),
        (lambda: setattr(d, "DrivePP", "Q:"), 68, "Device unavailable"),
    ]
    for call, number, description in cases:
        with pytest.raises(volumar10.Error) as raised:
            call()
        assert (raised.value.number, raised.value.description) == (number, description)
        assert str(raised.value) == f"error {number}: {description}"
    with pytest.raises(AttributeError):
        d.NoSuchMember
    with pytest.raises(IndexError):
        rows[32]
    with pytest.raises(TypeError):
        len(d)


def test_help_and_dir_show_the_member_table():
    d = volumar10.Dispatch("Volumar10.clsQzVolmDrwA")
    text = pydoc.plain(pydoc.render_doc(d))
    assert "DrivePP As String  (get, put)" in text
    assert "FatCopyStartsAtPP As Collection  (get, putref)" in text
    assert "FindCluster(Index As DRWFindClusterConstants ByRef) As String" in text
    assert "ShowSectorInEditControlPP([oETControl As Object ByRef]" in text
    assert {"DrivePP", "ReadSectorDataWhole", "FindCluster"} <= set(dir(d))
    assert d.drivepp == d.DrivePP  # names are matched without case


def test_values_keep_their_type_through_the_library():
    d = volumar10.Dispatch("Volumar10.clsQzVolmDrwA")
    other = volumar10.Dispatch("Volumar10.clsQzVolumarA")
    # (given, what comes back): a putref of a list stores a Collection of its items.
    cases = [(True, True), (-7, -7), (2**40, float(2**40)), (1.5, 1.5), ("é€\ud800x", "é€\ud800x"),
             (b"\x00\xff", b"\x00\xff"), (bytearray(b"ab"), b"ab"), (None, None), (other, other), ([1, "a"], None)]
    d.FatCopyStartsAtPP = [given for given, _ in cases]
    back = list(d.FatCopyStartsAtPP)
    for (given, expected), got in zip(cases[:-1], back):
        assert (type(got), got) == (type(expected), expected), given
    assert list(back[-1]) == [1, "a"]
    assert d.GetCrypDecString(d.GetCrypEncString("Sector 42")) == "Sector 42"
    with pytest.raises(TypeError):
        d.TagPP = object()


@pytest.mark.skipif(shutil.which("sfdisk") is None, reason="sfdisk (fdisk) is not installed")
def test_host_maps_partitions_byte_ranges_and_read_only_volumes(tmp_path):
    volume = make_volume(tmp_path, 16).read_bytes()
    disk = tmp_path / "disk.img"
    disk.write_bytes(bytes(1 << 20) + volume)
    subprocess.run(["sfdisk", "-q", str(disk)], input=b"start=2048, type=06\n", check=True, capture_output=True)
    for where in [dict(partition=1), dict(offset=1 << 20, length=len(volume))]:
        volumar10.map_drive("C", disk, **where)
        d = volumar10.Dispatch("Volumar10.clsQzVolmDrwA")
        d.DrivePP = "C:"
        assert (d.VolumeLabelPP, d.TotalSectorsPP) == ("FAT16", len(volume) // 512), where
    volumar10.map_drive("c:", disk, read_only=True, partition=1)
    d.DrivePP = "C:"
    d.FindCluster(0)
    assert d.FindCluster(2) == "0"  # the mark is refused, and nothing changed
    assert disk.read_bytes()[1 << 20:] == volume
    volumar10.message_boxes()
    bad_settings = [
        (lambda: volumar10.map_drive("C", tmp_path / "missing.img"), FileNotFoundError),
        (lambda: volumar10.map_drive("CD", disk), ValueError),
        (lambda: volumar10.map_drive("C", disk, partition=1, offset=512), ValueError),
        (lambda: volumar10.map_drive("C", disk, partition=7), ValueError),
        (lambda: volumar10.set_family("os2"), ValueError),
    ]
    for call, error in bad_settings:
        with pytest.raises(error):
            call()
