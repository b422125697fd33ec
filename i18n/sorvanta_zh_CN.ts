<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>UiController</name>
    <message>
        <source>Live stopped</source>
        <translation>实时已停止</translation>
    </message>
</context>
</TS>
