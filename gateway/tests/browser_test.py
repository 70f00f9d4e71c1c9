"""The live page in a real browser: Debian's headless Chromium driven through chromedriver, the
gateway on zephlor-sim over TCP (the same controller zephlorctl reaches), no broker. Every item
shows the controller's value; a value changed on the controller appears without a reload; a
write without the password is refused and one with it reaches the controller, its result shown
beside the item. A screenshot of the page is saved.

    SCRIPT ZEPHLORCTL ZEPHLOR_SIM ZEPHLOR_GATEWAY CHROMEDRIVER CHROMIUM SCREENSHOT
"""
import os
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../ctl/tests"))
from tool_checks import (LIMIT, SIM, check, ctl, end_children, finish, free_port,  # noqa: E402
                         start, wait_until)

from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402

GATEWAY, CHROMEDRIVER, CHROMIUM, SCREENSHOT = sys.argv[3:7]
POLL_MS = 250
ITEMS = {  # name: (item, value set on the controller before the gateway starts, writable)
    "hall-level": ("station-level 1 2 3", 31, True),
    "heating": ("thermostat 1 2 1", 21, True),
    "door-led": ("led 2 2 2", 1, False),
    "fan": ("switch 1 1 4", 1, True),
}


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                     "--window-size=1100,760", "--disable-gpu"):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    driver.set_page_load_timeout(LIMIT)
    driver.set_script_timeout(LIMIT)
    return driver


def row(driver, item):
    return driver.find_element(By.CSS_SELECTOR, f'tr[data-item="{item}"]')


def cell(driver, item, css):
    """The text of `css` in the item's row, or None while the row is not there."""
    try:
        return row(driver, item).find_element(By.CSS_SELECTOR, css).text
    except Exception:  # not drawn yet, or drawn again while it was read
        return None


def write_from_page(driver, item, value):
    form = row(driver, item).find_element(By.TAG_NAME, "form")
    field = form.find_element(By.NAME, "value")
    field.clear()
    field.send_keys(str(value))
    form.find_element(By.TAG_NAME, "button").click()


def main():
    folder = tempfile.mkdtemp(prefix="zephlor-browser-")
    with open(os.path.join(folder, "password"), "w") as file:
        file.write("page-password\n")
    simulator = start(SIM, "--tcp", "0")
    device = simulator.stdout.readline().strip()
    for name, (item, value, _) in ITEMS.items():
        ctl("-d", device, "write", *item.split(), str(value))

    port = free_port()
    config = os.path.join(folder, "gateway.yaml")
    with open(config, "w") as file:
        file.write(f"topic-prefix: plant/a\nhttp: {{listen: '127.0.0.1:{port}', "
                   f"password-file: {folder}/password}}\nlines:\n"
                   f"  - name: hall-1\n    device: {device}\n    timeout: 500\n    items:\n")
        for name, (item, _, writable) in ITEMS.items():
            file.write(f"      - {{name: {name}, item: {item}, every: {POLL_MS}, "
                       f"writable: {str(writable).lower()}, unit: '{'%' if 'level' in name else ''}'}}\n")
    gateway = start(GATEWAY, "--dry-run", config)
    told = []
    threading.Thread(target=lambda: [told.append(line) for line in gateway.stderr],
                     daemon=True).start()
    check("the gateway serves its port",
          wait_until(lambda: any("serving the live page" in line for line in told), LIMIT))

    driver = browser()
    try:
        driver.get(f"http://127.0.0.1:{port}/")
        loaded = time.monotonic()
        driver.execute_script("window.loadedOnce = true;")  # gone if the page were loaded again
        for name, (_, value, _) in ITEMS.items():
            check(f"{name} shows the controller's value",
                  wait_until(lambda: (cell(driver, name, ".value") or "").split()[:1] == [str(value)],
                             LIMIT), cell(driver, name, ".value"))
        check("the line is shown up",
              wait_until(lambda: driver.find_element(By.CSS_SELECTOR, ".state").text == "up", LIMIT))

        began = time.monotonic()
        ctl("-d", device, "write", "station-level", "1", "2", "3", "66")
        shown = wait_until(lambda: (cell(driver, "hall-level", ".value") or "").startswith("66"),
                           LIMIT)
        print(f"a change on the controller was on the page after {time.monotonic() - began:.2f} s"
              f" (poll period {POLL_MS / 1000:.2f} s)")
        check("a change on the controller appears without a reload",
              shown and driver.execute_script("return window.loadedOnce === true;"))

        write_from_page(driver, "heating", 23)
        check("a write without the password is refused",
              wait_until(lambda: "password is needed" in (cell(driver, "heating", ".result") or ""),
                         LIMIT), cell(driver, "heating", ".result"))
        check("and the page asks for it",
              driver.find_element(By.ID, "password").is_displayed())
        read = ctl("-d", device, "read", "thermostat", "1", "2", "1")
        check("nothing reached the controller", read.stdout.split()[-1:] == ["21"], read.stdout)

        driver.find_element(By.ID, "secret").send_keys("page-password")
        write_from_page(driver, "heating", 23)
        check("a write with the password is confirmed on the page",
              wait_until(lambda: "wrote 23, confirmed" in (cell(driver, "heating", ".result") or ""),
                         LIMIT), cell(driver, "heating", ".result"))
        read = ctl("-d", device, "read", "thermostat", "1", "2", "1")
        check("and reached the controller", read.stdout.split()[-1:] == ["23"], read.stdout)
        check("the value read back is shown",
              wait_until(lambda: (cell(driver, "heating", ".value") or "").startswith("23"), LIMIT))
        check("a trend is drawn", wait_until(lambda: driver.execute_script(
            "return document.querySelector('tr[data-item=\"hall-level\"] polyline')"
            ".getAttribute('points') !== ''"), LIMIT))
        # An unchanged value is published only at its heartbeat; its age still shows its last read.
        wait_until(lambda: time.monotonic() - loaded > 6, LIMIT)
        check("an unchanged item's age is its last read's", wait_until(
            lambda: (cell(driver, "door-led", ".age") or "x").split()[0] in ("0", "1", "2", "3"),
            LIMIT), cell(driver, "door-led", ".age"))
        driver.save_screenshot(SCREENSHOT)
        check("the screenshot is saved", os.path.getsize(SCREENSHOT) > 10000, SCREENSHOT)
        print(f"screenshot: {SCREENSHOT}")
    finally:
        driver.quit()
        end_children()
    finish()


if __name__ == "__main__":
    main()
