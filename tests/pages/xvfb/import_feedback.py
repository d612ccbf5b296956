"""An import that fails while a review is shown says why, in the real
program with today pinned, driven by widget id: a statement chosen through
the file dialog shows its review; "Import a file" on the Account page and a
file that holds no statement then leave that review up with an error toast
giving the reason."""
import os
import sys

from _dialogs import TEXTS, check, shows, wait_for
from _pages import Running, finish, temp_dir, xvfb

STATEMENT = ("OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\n\n<OFX><BANKMSGSRSV1><STMTTRNRS><STMTRS><BANKTRANLIST>\n"
             "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20250305<TRNAMT>-23.10<FITID>B0<NAME>Hardware store</STMTTRN>\n"
             "</BANKTRANLIST></STMTRS></STMTTRNRS></BANKMSGSRSV1></OFX>\n")
REASON = "No transactions were found in broken.ofx. Is it an OFX or QFX file?"


def choose(p, folder, entry):
    """Picks a file of the folder in the open file dialog by a double click."""
    p.wait_widget("filedir", 20)
    p.click("filedir")
    p.key("ctrl+a", at="filedir")
    p.type(folder, at="filedir")
    p.key("Return", at="filedir")
    wait_for(lambda: p.rect("fe1") is not None, 20)
    p.click(entry, double=True)


def main():
    build = sys.argv[1]
    with xvfb() as env, temp_dir() as home:
        folder = os.path.join(home, "statements")
        os.makedirs(folder)
        with open(os.path.join(folder, "broken.ofx"), "w") as f:
            f.write("<OFX>nothing to import</OFX>\n")
        with open(os.path.join(folder, "march.qfx"), "w") as f:
            f.write(STATEMENT)
        with Running(build, env, home, {"QUENMRK_PAGE": "import", **TEXTS}) as p:
            p.click("ie-choose")
            choose(p, folder, "fe1")
            reviewing = p.wait_widget("ie-b-all", 20)
            check("a statement shows its review", reviewing)
            if reviewing:
                p.click("ie-back")
                p.click("ac-import")
                choose(p, folder, "fe0")
                check("the failed file is answered with a toast giving the reason", shows(p, REASON, 20))
                check("the review stays", p.wait_widget("ie-b-all", 10))
            status = p.close()
        check("the program ends with status 0", status == 0, p.stderr[-1500:])
    finish()


main()
