"""Statement rows against the listing of ofxdump (package ofx) on every sample
statement that libofx-doc ships, plus a Windows-1252 SGML statement of our
own. ofxdump's exit code says little (it fails on the generated statements
that it lists in full), so its listing is what counts.

Every difference must have a reason that the importer's rules give:
- investment transactions other than bank transactions inside an investment
  account (INVBANKTRAN) are no statement transactions;
- a transaction without a posting date is dropped;
- the description joins NAME and MEMO (or says "Unknown");
- a bare ampersand is text to us, while ofxdump takes it for the start of an
  SGML entity reference and drops the reference ("K&L Wines" lists as
  "K Wines")."""
import glob
import gzip
import json
import os
import re
import subprocess
import sys
import tempfile
import time

BUILD, SOURCE = sys.argv[1], sys.argv[2]
TOOL = os.path.join(BUILD, "tools", "importtool")
SAMPLES = "/usr/share/doc/libofx-dev/ofx_sample_files"

# Accented names in the code page the header names, leaf elements unclosed as
# in SGML statements; ofxdump converts them.
CP1252_STATEMENT = (
    "OFXHEADER:100\r\nDATA:OFXSGML\r\nVERSION:102\r\nSECURITY:NONE\r\nENCODING:USASCII\r\n"
    "CHARSET:1252\r\nCOMPRESSION:NONE\r\nOLDFILEUID:NONE\r\nNEWFILEUID:NONE\r\n\r\n"
    "<OFX><SIGNONMSGSRSV1><SONRS><STATUS><CODE>0<SEVERITY>INFO</STATUS><DTSERVER>20240301"
    "<LANGUAGE>ENG</SONRS></SIGNONMSGSRSV1><BANKMSGSRSV1><STMTTRNRS><TRNUID>1<STATUS><CODE>0"
    "<SEVERITY>INFO</STATUS><STMTRS><CURDEF>EUR<BANKACCTFROM><BANKID>1<ACCTID>2<ACCTTYPE>CHECKING"
    "</BANKACCTFROM><BANKTRANLIST><DTSTART>20240201<DTEND>20240229\r\n"
    "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20240203<TRNAMT>-12.50<FITID>a1<NAME>Caf\u00e9 M\u00fcller\r\n</STMTTRN>\r\n"
    "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20240205<TRNAMT>-3.20<FITID>a2<NAME>Boulangerie \u00c9toile"
    "<MEMO>Cr\u00e8me br\u00fbl\u00e9e \u20ac\r\n</STMTTRN>\r\n"
    "<STMTTRN><TRNTYPE>CREDIT<DTPOSTED>20240207<TRNAMT>100.00<FITID>a3<NAME>Se\u00f1or Pe\u00f1a\r\n</STMTTRN>\r\n"
    "</BANKTRANLIST><LEDGERBAL><BALAMT>84.30<DTASOF>20240229</LEDGERBAL></STMTRS></STMTTRNRS>"
    "</BANKMSGSRSV1></OFX>\r\n"
).encode("cp1252")


SGML_REFERENCE = re.compile(r"&[A-Za-z][A-Za-z0-9]*;?")


def ofxdump_rows(path):
    out = subprocess.run(["ofxdump", path], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    text = out.decode("utf-8", "replace")
    rows = []
    for block in text.split("ofx_proc_transaction():")[1:]:
        fields = {}
        for line in block.split("\n\n")[0].splitlines()[1:]:
            key, _, value = line.strip().partition(": ")
            fields[key] = value
        rows.append(fields)
    return rows


def expected_description(name, memo):
    if name and memo and name.lower() != memo.lower():
        return f"{name} - {memo}"
    return name or memo or "Unknown"


def check(label, path):
    ours = [json.loads(line) for line in subprocess.run(
        [TOOL, "parse", path], stdout=subprocess.PIPE, check=True).stdout.decode().splitlines()]
    theirs = []
    notes = []
    for fields in ofxdump_rows(path):
        kind = fields.get("Investment transaction type", "")
        if kind and not kind.startswith("INVBANKTRAN"):
            notes.append(f"{kind.split()[0]}: investment transaction, no STMTTRN")
            continue
        if "Date posted" not in fields:
            notes.append(f"FITID {fields.get(chr(70) + 'inancial institution' + chr(39) + 's ID for this transaction')!r}:"
                         " no posting date, dropped")
            continue
        posted = time.strptime(fields["Date posted"], "%a %b %d %H:%M:%S %Y %Z")
        theirs.append({
            "date": time.strftime("%Y-%m-%d", posted),
            "amount": fields.get("Total money amount", "0.00"),
            "fitid": fields.get("Financial institution's ID for this transaction", ""),
            "description": expected_description(
                fields.get("Name of payee or transaction description", ""),
                fields.get("Extra transaction information (memo)", "")),
        })
    # Our rows are sorted by date, stably; so are theirs now.
    theirs.sort(key=lambda r: r["date"])
    bad = []
    if len(ours) != len(theirs):
        bad.append(f"{len(ours)} rows, ofxdump lists {len(theirs)}")
    for a, b in zip(ours, theirs):
        got = dict(a, amount=f"{a['amount']:.2f}")
        if got != b and dict(got, description=SGML_REFERENCE.sub("", got["description"])) == b:
            notes.append(f"{got['description']!r}: bare ampersand kept, ofxdump lists {b['description']!r}")
        elif got != b:
            bad.append(f"ours {got} ofxdump {b}")
    status = "FAIL" if bad else "ok"
    print(f"{status} {label}: {len(ours)} rows" + "".join(f"\n    {n}" for n in notes))
    for line in bad:
        print("    " + line)
    return not bad


def main():
    failures = 0
    checked = 0
    with tempfile.TemporaryDirectory() as tmp:
        for path in sorted(glob.glob(os.path.join(SAMPLES, "*"))):
            name = os.path.basename(path)
            if name.endswith((".log", ".trs", ".txt", ".log.gz")):
                continue
            if name.endswith(".gz"):
                plain = os.path.join(tmp, name[:-3])
                with gzip.open(path) as src, open(plain, "wb") as dst:
                    dst.write(src.read())
                path = plain
            failures += not check(name, path)
            checked += 1
        own = os.path.join(tmp, "cp1252.ofx")
        with open(own, "wb") as f:
            f.write(CP1252_STATEMENT)
        failures += not check("CHARSET:1252 statement", own)
    if checked < 20:
        print(f"only {checked} sample statements found in {SAMPLES}")
        failures += 1
    print(f"{failures} statements disagree")
    sys.exit(1 if failures else 0)


main()
