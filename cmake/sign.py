"""Signs a program in place with osslsigncode: SHA-256, the product's English name and licence
address from the string table as description and URL, and a fixed signing time, so that the same
program and certificate give the same bytes again (unless a timestamp server is asked).

    sign.py --osslsigncode PATH --strings STRINGS_RC --source-dir DIR --pkcs12 FILE
            --password-file FILE [--timestamp-url URL] PROGRAM

A program that cannot be signed is removed: no unsigned file stays where a signed one is expected,
and the next build links and signs it again.
"""

import argparse
import os
import subprocess
import sys
import time

import string_table as st


class SigningError(Exception):
    pass


def signing_time(source_dir):
    """SOURCE_DATE_EPOCH when it is set, otherwise the time of the last commit."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "")
    if epoch:
        if not epoch.isdigit():
            raise SigningError(f"SOURCE_DATE_EPOCH is not a number of seconds: {epoch}")
        return int(epoch)
    try:
        commit = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"],
                                capture_output=True, text=True, check=True).stdout.strip()
        return int(commit)
    except (OSError, subprocess.CalledProcessError, ValueError):
        raise SigningError("no signing time: set SOURCE_DATE_EPOCH, or build from a git "
                           "checkout so that the last commit's time is used") from None


def description_and_url(strings_rc):
    tables = st.read(strings_rc)
    name = st.entry(tables, st.ENGLISH, st.NAME, "product name")
    url = st.entry(tables, st.ENGLISH, st.LICENCE_URL, "licence address")
    # osslsigncode writes the description as an ASCII string.
    if not name.isascii():
        raise SigningError(f'the English product name "{name}" must be ASCII to describe the '
                           "signature")
    if not url.startswith("https://"):
        raise SigningError(f'the licence address "{url}" must be an https:// address to be the '
                           "signature's link")
    return name, url


def password_options(password_file):
    try:
        with open(password_file, "rb") as f:
            empty = f.read().rstrip(b"\r\n") == b""
    except OSError as error:
        raise SigningError(f"cannot read the password file: {error}") from None
    # osslsigncode refuses to read an empty password from a file.
    return ["-pass", ""] if empty else ["-readpass", password_file]


def sign(args):
    name, url = description_and_url(args.strings)
    when = signing_time(args.source_dir)
    command = [args.osslsigncode, "sign", "-pkcs12", args.pkcs12,
               *password_options(args.password_file), "-h", "sha256", "-n", name, "-i", url,
               "-time", str(when)]
    if args.timestamp_url:
        command += ["-ts", args.timestamp_url]
    signed = args.program + ".signing"
    if os.path.exists(signed):
        os.remove(signed)
    result = subprocess.run(command + ["-in", args.program, "-out", signed],
                            capture_output=True, text=True)
    if result.returncode != 0 or not os.path.isfile(signed):
        if os.path.exists(signed):
            os.remove(signed)
        raise SigningError("osslsigncode failed:\n" + (result.stdout + result.stderr).strip())
    os.replace(signed, args.program)
    print(f"Signed {os.path.basename(args.program)} (signing time "
          f"{time.strftime('%Y-%m-%d %H:%M:%S UTC', time.gmtime(when))})")


def main():
    parser = argparse.ArgumentParser(description="Signs a program in place.")
    for option in ("--osslsigncode", "--strings", "--source-dir", "--pkcs12", "--password-file"):
        parser.add_argument(option, required=True)
    parser.add_argument("--timestamp-url", default="")
    parser.add_argument("program")
    args = parser.parse_args()
    try:
        sign(args)
    except (SigningError, st.StringTableError, OSError) as error:
        print(f"cannot sign {args.program}: {error}", file=sys.stderr)
        if os.path.exists(args.program):
            os.remove(args.program)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
