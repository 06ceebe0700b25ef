#!/usr/bin/python3
"""An SMTP server for tests that keeps every message it receives as a file.

    /usr/bin/python3 tests/app/smtp_sink.py PORT FOLDER

Each message is written to FOLDER/<n>.eml (first a .tmp, then renamed, so a reader never sees
half a message) with the envelope in X-Envelope-From and X-Envelope-To headers. Runs until killed.
"""
import asyncio
import os
import sys

from aiosmtpd.controller import Controller


class Keep:
    def __init__(self, folder):
        self.folder, self.count = folder, 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        path = os.path.join(self.folder, f'{self.count:04d}.eml')
        head = (f'X-Envelope-From: {envelope.mail_from}\r\n'
                f'X-Envelope-To: {", ".join(envelope.rcpt_tos)}\r\n').encode()
        with open(path + '.tmp', 'wb') as f:
            f.write(head + envelope.original_content)
        os.rename(path + '.tmp', path)
        return '250 OK'


def main():
    port, folder = int(sys.argv[1]), sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    controller = Controller(Keep(folder), hostname='127.0.0.1', port=port)
    controller.start()
    print('ready', flush=True)
    try:
        asyncio.get_event_loop().run_forever()
    finally:
        controller.stop()


if __name__ == '__main__':
    main()
