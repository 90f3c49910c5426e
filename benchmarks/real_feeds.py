"""Real public GTFS feeds of different shapes, taken from the source distributions of GTFS
libraries on PyPI, where they ship as sample or test data; each is written as DIR/NAME.zip.

    python benchmarks/real_feeds.py DIR [NAME ...]

The feeds are not kept in this repository. A feed shipped as a folder is zipped. Feeds already in
DIR are left as they are.
"""

import argparse
import io
import json
import sys
import tarfile
import urllib.parse
import urllib.request
import zipfile
from pathlib import Path

# name: (package, version, the feed's path in the source distribution, what it is)
FEEDS = {
    "cairns": ("gtfs-kit", "13.0.1", "data/cairns_gtfs.zip", "city buses, 2014"),
    "nyc_subway": ("gtfs-kit", "13.0.1", "data/nyc_subway_gtfs.zip", "rail with stations"),
    "ann_arbor_umich": ("gtfs-segments", "2.1.7",
                        "test/data/Ann Arbor-University of Michigan Transit Services-MI/gtfs.zip",
                        "campus buses"),
    "newport_wales": ("assess-gtfs", "0.0.6", "src/assess_gtfs/data/newport-20230613_gtfs.zip",
                      "stations and entrances"),
    "barrie_transit": ("gtfs-daytype", "0.1.0", "examples/data/mdb-3-202402080013.zip",
                       "calendar_dates only"),
    "auckland_mapmatcher": ("gtfs-map-matcher", "3.0.1",
                            "gtfs_map_matcher/data/auckland_gtfs_sample.zip", "city buses"),
    "vilnius": ("mseep-vilnius-transport-mcp-server", "0.1.4",
                "src/vilnius_transport_mcp/data/gtfs.zip", "a capital's buses, the whole week"),
    "halifax_transit": ("gtfs-daytype", "0.1.0", "examples/data/mdb-734-202602180121.zip",
                        "regional: buses and ferries, the whole week"),
    "freiburg_osm": ("osmtogtfs", "0.4.3", "output/freiburg", "made from OpenStreetMap, "
                     "frequencies.txt"),
}


def source_distribution(package, version):
    """The bytes of `package` `version`'s source distribution, from PyPI."""
    index = f"https://pypi.org/pypi/{package}/json"
    with urllib.request.urlopen(index, timeout=60) as response:
        files = json.load(response)["releases"][version]
    url = next(file["url"] for file in files if file["packagetype"] == "sdist")
    with urllib.request.urlopen(urllib.parse.urljoin(index, url), timeout=300) as response:
        return response.read()


def feed_bytes(archive, path):
    """The feed at `path` under the archive's top folder: the zip itself, or a folder zipped."""
    with tarfile.open(fileobj=io.BytesIO(archive)) as tar:
        members = {member.name.split("/", 1)[-1]: member for member in tar.getmembers()}
        if path in members:
            return tar.extractfile(members[path]).read()
        folder = io.BytesIO()
        with zipfile.ZipFile(folder, "w", zipfile.ZIP_DEFLATED) as feed:
            for name, member in sorted(members.items()):
                if name.startswith(path + "/") and name.endswith(".txt") and member.isfile():
                    feed.writestr(name.rsplit("/", 1)[-1], tar.extractfile(member).read())
        return folder.getvalue()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("dir", type=Path)
    parser.add_argument("names", nargs="*", help=f"of {', '.join(FEEDS)} (every one)")
    args = parser.parse_args()
    unknown = set(args.names) - set(FEEDS)
    if unknown:
        parser.error(f"no feed {', '.join(sorted(unknown))}")
    args.dir.mkdir(parents=True, exist_ok=True)
    archives = {}
    for name in args.names or FEEDS:
        package, version, path, shape = FEEDS[name]
        target = args.dir / f"{name}.zip"
        if not target.exists():
            if (package, version) not in archives:
                archives[package, version] = source_distribution(package, version)
            partial = target.with_suffix(".part")
            partial.write_bytes(feed_bytes(archives[package, version], path))
            partial.rename(target)
        print(f"{target}: {shape} ({package} {version})", file=sys.stderr)


if __name__ == "__main__":
    main()
