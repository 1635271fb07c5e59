#!/usr/bin/python3
# In baresip's place (started as "standin.py -f DIR"), for the SIP line tests: once DIR/serve
# exists, it listens once on baresip's control port, offers a call, then sends DIR/frame when that
# file appears. Otherwise it only waits.
import os, re, socket, sys, time

d = sys.argv[2] + '/'
if os.path.exists(d + 'serve'):
    port = int(re.search(r'ctrl_tcp_listen 127.0.0.1:(\d+)', open(d + 'config').read())[1])
    server = socket.create_server(('127.0.0.1', port))
    link = server.accept()[0]
    os.unlink(d + 'serve')
    link.sendall(b'110:{"event":true,"type":"CALL_INCOMING","class":"call","direction":"incoming",'
                 b'"peeruri":"sip:5551234@h","id":"1"},')
    while not os.path.exists(d + 'frame'):
        time.sleep(0.02)
    link.sendall(open(d + 'frame', 'rb').read())
time.sleep(30)
