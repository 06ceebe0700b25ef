#!/usr/bin/env python3
"""HTTP checks of user levels, record owners, anonymous access, the account pages and the audit
trail of an application generated from tests/app/security_schema.sql with security_setup.js.

    python3 tests/app/security_test.py --app DIR --mode dynamic|static --mail FOLDER [unittest options]

FOLDER is where tests/app/smtp_sink.py keeps the messages the application sends. Users admin
(level -1), editor (1) and reader (2) have the password secret123.
"""
import argparse
import json
import os
import re
import subprocess
import sys
import time
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import http_app_test as h  # noqa: E402  the client, form parser and server of the demo's tests

ARGS = None
PASSWORD = 'secret123'


def client(user=None, password=PASSWORD, headers=None):
    c = h.Client(headers)
    if user:
        r = c.login(user, password)
        assert r.status in (302, 303), f'{user} cannot log in: {r.status} {r.text[-300:]}'
    return c


def menu(c):
    r = c.get('index.php')
    nav = re.search(r'<nav class="vm-menu">(.*?)</nav>', r.body, re.S)
    return set(re.findall(r'href="([^"]+)"', nav.group(1))) - {'index.php'} if nav else set()


def mails_to(address):
    """The messages the sink received for an address, oldest first."""
    return [m for m in h.new_mails(set()) if address in m['X-Envelope-To']]


def wait_mail(address, before):
    for _ in range(50):
        got = mails_to(address)
        if len(got) > before:
            return got[-1]
        time.sleep(0.1)
    raise AssertionError(f'no mail for {address}')


def link_in(message, page):
    text = message.get_body(('plain',)).get_content()
    url = re.search(r'(http://\S+/' + re.escape(page) + r'\?token=\S+)', text).group(1)
    assert url.startswith(h.BASE + page), f'{url} is not a link to this application'
    return url[len(h.BASE):]


def captcha_of(c):
    """The text of the captcha image the session was given (read from the session file)."""
    folder = subprocess.run(['php', '-r', 'echo session_save_path() ?: sys_get_temp_dir();'],
                            capture_output=True, text=True).stdout
    with open(os.path.join(folder, 'sess_' + c.session_id()), errors='replace') as f:
        data = f.read()
    return re.search(r'vm_captcha\|s:\d+:"([^"]+)"', data).group(1)


class SecurityTest(h.ServerLogTest):
    def status(self, c, path):
        r = c.get(path)
        if r.status == 302 and r.header('Location').startswith('login.php'):
            return 'login'
        return r.status


class LevelTests(SecurityTest):
    PAGES = ['articleslist.php', 'articlesview.php?key[article_id]=1', 'articlesadd.php',
             'articlesedit.php?key[article_id]=1', 'articleslist.php?export=csv', 'noteslist.php', 'notesadd.php',
             'userslist.php', 'userlevelslist.php', 'userpriv.php']

    def expected(self):
        """Per user, the status of each page of PAGES."""
        if ARGS.mode == 'dynamic':
            return {
                None: [200, 200, 'login', 'login', 'login', 'login', 'login', 'login', 'login', 'login'],
                'reader': [200, 200, 403, 403, 403, 403, 403, 403, 403, 403],
                'editor': [200, 200, 200, 200, 200, 200, 200, 403, 403, 403],
                'admin': [200] * 10,
            }
        # static: every user but the administrator has the default level, the tables' TblSecurity
        return {
            None: [200, 200, 'login', 'login', 'login', 'login', 'login', 'login', 'login', 404],
            'reader': [200, 200, 403, 403, 403, 200, 200, 403, 403, 404],
            'admin': [200] * 9 + [404],
        }

    def test_each_level_opens_exactly_its_pages(self):
        for user, statuses in self.expected().items():
            c = client(user)
            got = [self.status(c, p) for p in self.PAGES]
            self.assertEqual(dict(zip(self.PAGES, got)), dict(zip(self.PAGES, statuses)), user)
            # the menu and the buttons follow the same permissions
            listed = {p for p in self.PAGES if p.endswith('list.php')}
            allowed = {p for p, s in zip(self.PAGES, statuses) if s == 200 and p in listed}
            self.assertEqual(menu(c) & listed, allowed, user)
            body = c.get('articleslist.php').body
            self.assertEqual('articlesadd.php' in body, statuses[2] == 200, user)
            self.assertEqual('articlesedit.php' in body, statuses[3] == 200, user)

    def test_records_belong_to_their_owner(self):
        user = 'editor' if ARGS.mode == 'dynamic' else 'reader'
        own, other = ('Editor note', 'Reader note') if user == 'editor' else ('Reader note', 'Editor note')
        c = client(user)
        below = ['Intern note'] if user == 'editor' else []
        self.assertEqual(h.column(h.grid(c.get('noteslist.php').body), 'notes', 'title'), [own] + below)
        self.assertEqual(h.column(h.grid(client('intern').get('noteslist.php').body), 'notes', 'title'),
                         ['Intern note'], 'rows of the users above stay hidden')
        other_id = h.db_value('SELECT note_id FROM notes WHERE title = ?', other)
        for page in ['notesview.php', 'notesedit.php']:
            self.assertEqual(c.get(f'{page}?key[note_id]={other_id}').status, 404, page)
        _, form = c.form('notesadd.php')
        self.assertIsNone(h.form_value(form, 'f[owner_id]'), 'the owner is not chosen by the user')
        title = f'Own {h.RUN}'
        r = c.submit(form, {'f[title]': title, 'f[owner_id]': '1'})
        self.assertEqual(r.status, 303, r.text[-500:])
        uid = h.db_value('SELECT user_id FROM users WHERE login = ?', user)
        self.assertEqual(h.db_value('SELECT owner_id FROM notes WHERE title = ?', title), uid)
        titles = h.column(h.grid(client('admin').get('noteslist.php').body), 'notes', 'title')
        self.assertTrue({own, other, title} <= set(titles), titles)

    def test_login_options_and_profile(self):
        c = client('reader@example.com')  # LoginOption email: the address stands for the name
        self.assertNotEqual(self.status(c, 'articlesadd.php'), 'login')
        self.assertNotIn('vm_remember', {k.name for k in c.jar})
        kept = h.Client()
        self.assertEqual(kept.login('reader', PASSWORD, extra={'remember': '1'}).status, 303)
        cookie = next(k for k in kept.jar if k.name == 'vm_remember')
        # LoginOption autologin: the cookie alone logs in; a forged one does not
        for value, opens in [(cookie.value, True), (cookie.value[:-2] + 'AA', False)]:
            fresh = h.Client({'Cookie': f'vm_remember={value}'})
            self.assertEqual(self.status(fresh, 'articlesadd.php') != 'login', opens, value)
            self.assertEqual('Your last login' in fresh.get('index.php').body, opens, value)
        profile = h.db_value('SELECT profile FROM users WHERE login = ?', 'reader')
        self.assertIn('"last_address":"127.0.0.1"', profile)

    def test_only_the_administrator_sets_passwords_and_levels(self):
        admin = client('admin')
        reader_id = h.db_value("SELECT user_id FROM users WHERE login = 'reader'")
        _, form = admin.form(f'usersedit.php?key[user_id]={reader_id}')
        self.assertEqual(h.form_value(form, 'f[password]'), '')
        self.assertIsNotNone(h.form_value(form, 'f[level_id]'))
        if ARGS.mode != 'dynamic':
            return
        # an editor allowed to edit users still cannot raise a level or set a password
        h.sql("INSERT INTO userlevelpermissions VALUES ('users', 1, 47)")
        try:
            editor = client('editor')
            editor_id = h.db_value("SELECT user_id FROM users WHERE login = 'editor'")
            # nor an address, which would receive the account's reset links
            row = 'SELECT password, level_id, email FROM users WHERE user_id = ?'
            before = h.db_row(row, editor_id)
            _, form = editor.form(f'usersedit.php?key[user_id]={editor_id}')
            for name in ['f[level_id]', 'f[password]', 'f[email]']:
                self.assertIsNone(h.form_value(form, name), name)
            r = editor.submit(form, {'f[level_id]': '-1', 'f[password]': 'takeover123', 'f[email]': 'x@evil.example',
                                     'f[full_name]': 'Ed'})
            self.assertEqual(r.status, 303)
            self.assertEqual(h.db_row(row, editor_id), before)
        finally:
            h.sql("DELETE FROM userlevelpermissions WHERE table_name = 'users'")

    def test_administrator_changes_a_levels_permissions(self):
        if ARGS.mode != 'dynamic':
            self.skipTest('static levels are set in the project')
        admin, reader = client('admin'), client('reader')
        self.assertEqual(reader.get('articlesadd.php').status, 403)
        _, form = admin.form('userpriv.php?level=2')
        self.assertEqual([v for k, v in form['fields'] if k == 'p[articles][]'], ['list', 'view'])
        r = admin.submit(form, {'p[articles][]': ['list', 'view', 'add']})
        self.assertEqual(r.status, 303)
        self.assertEqual(h.db_value("SELECT permission FROM userlevelpermissions WHERE table_name = 'articles' "
                                    "AND level_id = 2"), '41')
        self.assertEqual(reader.get('articlesadd.php').status, 200, 'the change holds at once')
        _, form = admin.form('userpriv.php?level=2')
        admin.submit(form, {'p[articles][]': ['list', 'view']})
        self.assertEqual(reader.get('articlesadd.php').status, 403)


class AccountTests(SecurityTest):
    def register(self, login, address, password='newpassword1', again=None):
        c = client()
        _, form = c.form('register.php')
        return c, c.submit(form, {'f[login]': login, 'f[password]': password, 'password2': again or password,
                                  'f[email]': address, 'f[full_name]': 'New User'})

    def test_registration_with_confirmation_mail(self):
        login, address = f'new{h.RUN}', f'new{h.RUN}@example.com'
        for password, again, problem in [('short', 'short', 'PasswordTooShort'), ('newpassword1', 'other', 'PasswordsDiffer')]:
            _, r = self.register(login, address, password, again)
            self.assertIn(h.phrase(problem).split('{')[0], r.text)
            self.assertEqual(r.text.count('class="vm-page"'), 2, 'RegisterMultiPage: the full name on page 2')
        before = len(mails_to(address))
        _, r = self.register(login, address)
        self.assertEqual(r.status, 303)
        row = h.db_row('SELECT level_id, active FROM users WHERE login = ?', login)
        self.assertEqual((row['level_id'], row['active']), ('0', '0'))
        link = link_in(wait_mail(address, before), 'register.php')
        c = client()
        self.assertIn(h.phrase('AccountNotActivated'), c.login(login, 'newpassword1').text)
        self.assertEqual(c.get(link).status, 303)
        self.assertEqual(h.db_value('SELECT active FROM users WHERE login = ?', login), '1')
        self.assertEqual(c.get(link).status, 400, 'a confirmation link works once')
        client(login, 'newpassword1')
        _, r = self.register(login, address)
        self.assertIn(h.phrase('LoginTaken'), r.text)

    def test_password_reset_through_the_mailed_link(self):
        login, address = 'reader', 'reader@example.com'
        c = client()
        _, form = c.form('forgotpwd.php')
        self.assertEqual(c.get('captcha.php').header('Content-Type'), 'image/jpeg')
        before = len(mails_to(address))
        r = c.submit(form, {'username': login, 'captcha': 'wrong'})
        self.assertIn(h.phrase('CaptchaWrong'), r.text)
        _, form = c.form('forgotpwd.php')
        c.get('captcha.php')
        r = c.submit(form, {'username': address, 'captcha': captcha_of(c)})
        self.assertEqual(r.status, 303)
        message = wait_mail(address, before)
        self.assertNotIn(PASSWORD, message.get_body(('plain',)).get_content())
        link = link_in(message, 'forgotpwd.php')
        _, form = c.form(link)
        r = c.submit(form, {'password': 'resetpassword1', 'password2': 'resetpassword1'})
        self.assertEqual(r.status, 303)
        client(login, 'resetpassword1')
        self.assertEqual(c.get(link).status, 400, 'a reset link works once')
        # an expired link is refused too
        expired = subprocess.run(['php', '-r', 'require $argv[1] . "/lib/runtime.php"; vm_config(); '
                                  'echo vm_token_make("reset", "reader", vm_user_row("reader")["password"], -1);',
                                  ARGS.app], capture_output=True, text=True, check=True).stdout
        self.assertEqual(c.get('forgotpwd.php?token=' + urllib.parse.quote(expired)).status, 400)
        # an unknown account gets the same answer, and no mail
        _, form = c.form('forgotpwd.php')
        c.get('captcha.php')
        r = c.submit(form, {'username': 'nobody@example.com', 'captcha': captcha_of(c)})
        self.assertEqual(r.status, 303)
        self.assertEqual(mails_to('nobody@example.com'), [])
        h.sql('UPDATE users SET password = (SELECT password FROM users WHERE login = ?) WHERE login = ?', 'editor', login)

    def test_change_password_and_email(self):
        login = f'chg{h.RUN}'
        h.sql('INSERT INTO users (login, password, email, level_id, active) SELECT ?, password, ?, 2, 1 FROM users '
              "WHERE login = 'reader'", login, f'{login}@example.com')
        c, other = client(login), client(login)
        _, form = c.form('changepwd.php')
        # the password field's FldMin (10) is the least length
        for old, new, problem in [('wrong', 'changed12345', 'OldPasswordWrong'), (PASSWORD, 'nine12345', 'PasswordTooShort')]:
            r = c.submit(form, {'old': old, 'password': new, 'password2': new})
            self.assertIn(h.phrase(problem).replace('{min}', '10'), r.text)
        r = c.submit(form, {'old': PASSWORD, 'password': 'changed12345', 'password2': 'changed12345'})
        self.assertEqual(r.status, 303)
        self.assertEqual(c.get('articleslist.php').status, 200)
        self.assertEqual(self.status(other, 'noteslist.php'), 'login', "the user's other sessions end")
        new = f'moved{h.RUN}@example.com'
        _, form = c.form('changeemail.php')
        before = len(mails_to(new))
        self.assertEqual(c.submit(form, {'email': new, 'password': 'changed12345'}).status, 303)
        link = link_in(wait_mail(new, before), 'changeemail.php')
        self.assertEqual(c.get(link).status, 303)
        self.assertEqual(h.db_value('SELECT email FROM users WHERE login = ?', login), new)
        self.assertEqual(c.get(link).status, 400)


class AuditTests(SecurityTest):
    def entries(self):
        if ARGS.mode == 'dynamic':
            return [tuple(r.values()) for r in h.sql(
                'SELECT user_name, action, table_name, field_name, old_value, new_value FROM audittrail ORDER BY audit_id')]
        with open(os.path.join(ARGS.app, 'data', 'audit.log')) as f:
            rows = [json.loads(line) for line in f]
        return [(r['user_name'], r['action'], r['table_name'], r['field_name'], r['old_value'], r['new_value'])
                for r in rows]

    def test_logins_and_changes_are_recorded(self):
        user = 'editor' if ARGS.mode == 'dynamic' else 'reader'
        c = client(user)
        title = f'Audited {h.RUN}'
        _, form = c.form('notesadd.php')
        self.assertEqual(c.submit(form, {'f[title]': title, 'f[body]': 'first'}).status, 303)
        nid = h.db_value('SELECT note_id FROM notes WHERE title = ?', title)
        _, form = c.form(f'notesedit.php?key[note_id]={nid}')
        self.assertEqual(c.submit(form, {'f[body]': 'second'}).status, 303)
        admin = client('admin')
        _, form = admin.form(f'notesdelete.php?key[note_id]={nid}')
        self.assertEqual(admin.submit(form).status, 303)
        logout = [f for f in h.parse_forms(c.get('index.php').body) if f['action'].endswith('logout.php')][0]
        c.submit(logout)
        got = self.entries()
        for entry in [(user, 'login', '', '', '', ''), (user, 'add', 'notes', 'title', '', title),
                      (user, 'edit', 'notes', 'body', 'first', 'second'), ('admin', 'delete', 'notes', 'body', 'second', ''),
                      (user, 'logout', '', '', '', '')]:
            self.assertIn(entry, got)
        page = 'audittraillist.php?q=' + urllib.parse.quote(title) if ARGS.mode == 'dynamic' else 'audittrail.php'
        self.assertIn(title, admin.get(page).text)
        self.assertIn(self.status(client(user), page), (403, 404))


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--app', required=True)
    parser.add_argument('--mode', choices=['dynamic', 'static'], required=True)
    parser.add_argument('--mail', required=True)
    ARGS, rest = parser.parse_known_args()
    ARGS.app = os.path.abspath(ARGS.app)
    h.ARGS, h.MAIL_DIR = argparse.Namespace(app=ARGS.app, security='table'), ARGS.mail
    h.APP = h.load_app(ARGS.app)
    h.start_server(ARGS.app)
    try:
        prog = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2)
    finally:
        h.stop_server()
    sys.exit(0 if prog.result.wasSuccessful() else 1)


if __name__ == '__main__':
    main()
